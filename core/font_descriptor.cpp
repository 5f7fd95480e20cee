#include "core/font_descriptor.h"

#include <exception>
#include <filesystem>
#include <new>
#include <string>

#include "core/descriptor_tags.h"

std::string_view DescriptorExtension(DescriptorFormat format) {
  switch (format) {
    case DescriptorFormat::Text: return ".fnt";
    case DescriptorFormat::Xml: return ".xml";
    case DescriptorFormat::Json: return ".json";
  }
  return ".fnt";
}

std::string SheetDescriptorPath(const std::string& sheet, DescriptorFormat form) {
  return std::filesystem::path(sheet).replace_extension(DescriptorExtension(form)).string();
}

std::string WriteDescriptor(const FontDescriptor& font, DescriptorFormat format) {
  switch (format) {
    case DescriptorFormat::Text: return WriteTextDescriptor(font);
    case DescriptorFormat::Xml: return WriteXmlDescriptor(font);
    case DescriptorFormat::Json: return WriteJsonDescriptor(font);
  }
  return WriteTextDescriptor(font);
}

namespace {

bool Read(std::string_view bytes, FontDescriptor& out, std::string& why) {
  DescriptorBuilder b(out);
  if (bytes.size() > DescriptorMaxBytes) {
    why = "larger than " + std::to_string(DescriptorMaxBytes) + " bytes";
    return false;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const std::size_t first = bytes.find_first_not_of(" \t\r\n");
  const char lead = first == std::string_view::npos ? '\0' : bytes[first];
  const bool ok = lead == '<'   ? ReadXmlDescriptor(bytes, b)
                  : lead == '{' ? ReadJsonDescriptor(bytes, b)
                                : ReadTextDescriptor(bytes, b);
  if (!ok) why = b.why;
  return ok;
}

}  // namespace

bool ReadDescriptor(std::string_view bytes, FontDescriptor& out, std::string* why) {
  std::string reason;
  bool ok = false;
  try {
    ok = Read(bytes, out, reason);
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  } catch (const std::exception& e) {
    reason = std::string("unreadable: ") + e.what();
  } catch (...) {
    reason = "unreadable";
  }
  if (!ok && reason.empty()) reason = "unreadable";
  if (!ok && why) *why = reason;
  return ok;
}
