#include "renderer/sheet_pages.h"

#include <cerrno>
#include <filesystem>

#include "core/character_lists.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "renderer/renderer_settings.h"

std::string PackedPagePath(const std::string& out, int page, int pages) {
  if (pages == 1) return out;
  std::filesystem::path path(out);
  return path.replace_filename(path.stem().string() + "_" + std::to_string(page) + path.extension().string()).string();
}

std::vector<FileToReplace> PackedPageFiles(const std::string& out, const PackedSheet& sheet, PageDrawing drawing) {
  std::vector<FileToReplace> files;
  for (int page = 0; page < sheet.layout.pages; ++page) {
    files.push_back({PackedPagePath(out, page, sheet.layout.pages), [&sheet, page, drawing](int fd) {
                       if (!DrawPackedPage(sheet, page, drawing.shadowOn, drawing.count, drawing.transparent)) {
                         DropImage(SheetImage);
                         errno = ENOMEM;
                         return false;
                       }
                       const FileWriter write = drawing.filterRows ? PngFileWriter(SheetImage, true)
                                                                   : ImageFileWriter(SheetImage, drawing.format);
                       const bool written = write && write(fd);
                       const int error = errno;
                       DropImage(SheetImage);
                       errno = error;
                       return written;
                     }});
  }
  return files;
}

std::string PackRefusal(const PackedSheet& sheet, const PackLimits& limits) {
  switch (sheet.layout.outcome) {
    case PackOutcome::BoxTooLarge:
      return "the glyph of" + CodePointNames(std::u32string(1, sheet.tooLarge)) + " needs " +
             std::to_string(sheet.needWidth) + "x" + std::to_string(sheet.needHeight) + " pixels, more than a page of " +
             std::to_string(limits.pageWidth) + "x" + std::to_string(limits.pageHeight) +
             (limits.powerOfTwo ? " with --pot" : "") + ": a larger --page-size or a smaller size may fit";
    case PackOutcome::TooManyPages:
      return "the characters need more than " + std::to_string(limits.maxPages) +
             " pages: a larger --page-size or fewer characters may fit";
    case PackOutcome::Packed:
      break;
  }
  return "the fonts cannot be made";
}
