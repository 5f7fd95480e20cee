#include "kilnbatch/sheet_pages.h"

#include <cerrno>
#include <filesystem>

#include "raster/bmp_file.h"
#include "raster/image.h"
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
                       const FileWriter write = ImageFileWriter(SheetImage, drawing.format);
                       const bool written = write && write(fd);
                       const int error = errno;
                       DropImage(SheetImage);
                       errno = error;
                       return written;
                     }});
  }
  return files;
}
