#include "core/paths.h"

#include <unistd.h>

#include <array>

namespace {

// Longer paths than this are not returned: the caller could not use them in
// a file dialog either.
constexpr std::size_t ProgramPathMax = 4095;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string_view SkipQuote(std::string_view path) {
  if (!path.empty() && path.front() == '"') path.remove_prefix(1);
  return path;
}

}  // namespace

std::string ProgramFilePath() {
  std::array<char, ProgramPathMax + 1> buffer{};
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), ProgramPathMax);
  if (length <= 0 || static_cast<std::size_t>(length) >= ProgramPathMax) return {};
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  // A long-path prefix is not part of the name the user knows.
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  return path;
}

std::string DirectoryPart(std::string_view path) {
  path = SkipQuote(path);
  const std::size_t bar = path.find('|');
  if (bar != std::string_view::npos) path = path.substr(0, bar);
  std::size_t end = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) end = i + 1;
  }
  return std::string(path.substr(0, end));
}

std::string FilePart(std::string_view path) {
  path = SkipQuote(path);
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  std::string_view name = path.substr(start);
  const std::size_t quote = name.find('"');
  if (quote != std::string_view::npos) name = name.substr(0, quote);
  return std::string(name);
}

std::string WithDefaultExtension(std::string path, std::string_view extension) {
  const std::size_t separator = path.find_last_of("/\\");
  if (path.find('.', separator == std::string::npos ? 0 : separator + 1) == std::string::npos) path += extension;
  return path;
}
