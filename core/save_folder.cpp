#include "core/save_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/paths.h"

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

}  // namespace

std::string DefaultSaveFolder(std::string_view programPath) {
  std::string folder = DirectoryPart(programPath);
  if (!folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0) return folder;
  std::string home = HomeFolder();
  if (home.empty()) return folder;
  if (home.back() != '/') home += '/';
  return home;
}
