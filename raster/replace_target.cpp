#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "raster/replace_target.h"

namespace file_replacing {
namespace {

// Follows symbolic links to the file they finally name, so that saving
// through a link replaces the file and keeps the link.
std::string ResolveLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : DirectoryOf(path) + "/" + target;
  }
  return path;
}

// The descriptor a path names when it names one this process already holds
// ("/dev/stdout", "/dev/fd/N", "/proc/self/fd/N"), else -1. Such a descriptor
// is written at its own offset: a new open would start the file again.
int InheritedDescriptor(const std::string& path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t n = std::strlen(prefix);
    if (path.compare(0, n, prefix) != 0 || path.size() == n || path.size() > n + 9) continue;
    if (path.find_first_not_of("0123456789", n) != std::string::npos) return -1;
    return std::stoi(path.substr(n));
  }
  return -1;
}

// Where nothing exists yet, a target is told from another by its folder's real path and its name.
std::string RealPathOfNew(const std::string& target) {
  char folder[PATH_MAX];
  const std::size_t slash = target.find_last_of('/');
  if (!::realpath(DirectoryOf(target).c_str(), folder)) return target;
  return std::string(folder) + "/" + target.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Reason(int error) {
  switch (error) {
    case ENOSPC: return "No space left on the device";
    case EDQUOT: return "Disk quota exceeded";
    case EACCES:
    case EPERM: return "Permission denied";
    case ENOENT: return "No such folder";
    case ENOTDIR: return "A part of the path is not a folder";
    case EISDIR: return "Is a folder";
    case EROFS: return "Read-only file system";
    case EFBIG: return "File too large";
    case ELOOP: return "Too many levels of links (a link loop)";
    case ENAMETOOLONG: return "File name too long";
    case EBADF: return "Not open for writing";
    case EBUSY: return "Is a mount point";
    default: return std::strerror(error);
  }
}

bool MayReplace(const std::string& path, const struct stat& old, std::string* why) {
  if ((old.st_mode & 0222) == 0) return Fail(why, "Read-only file");
  if (::access(path.c_str(), W_OK) != 0) return Fail(why, Reason(errno));
  return true;
}

bool Examine(const std::string& path, SetFile& f, std::string* why) {
  if ((f.heldFd = InheritedDescriptor(path)) >= 0) {
    const int mode = ::fcntl(f.heldFd, F_GETFL);
    const bool writable = mode >= 0 && (mode & O_ACCMODE) != O_RDONLY && ::fstat(f.heldFd, &f.old) == 0;
    return writable || Fail(why, Reason(EBADF));
  }
  f.exists = ::stat(path.c_str(), &f.old) == 0;
  if (!f.exists && errno != ENOENT) return Fail(why, Reason(errno));
  if (f.exists && S_ISDIR(f.old.st_mode)) return Fail(why, Reason(EISDIR));
  if ((f.special = f.exists && !S_ISREG(f.old.st_mode))) {
    return ::access(path.c_str(), W_OK) == 0 || Fail(why, Reason(errno));
  }
  if (f.exists && !MayReplace(path, f.old, why)) return false;
  f.target = ResolveLinks(path);
  f.temp = f.backup = DirectoryOf(f.target) + "/.kiln-XXXXXX";
  return true;
}

std::pair<std::size_t, std::size_t> SameFile(const std::vector<SetFile>& set) {
  std::vector<std::string> newPaths(set.size());
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (!set[i].exists && set[i].heldFd < 0) newPaths[i] = RealPathOfNew(set[i].target);
  }
  for (std::size_t j = 1; j < set.size(); ++j) {
    for (std::size_t i = 0; i < j; ++i) {
      const bool same = newPaths[i].empty() ? newPaths[j].empty() && set[i].old.st_dev == set[j].old.st_dev &&
                                                  set[i].old.st_ino == set[j].old.st_ino
                                            : newPaths[i] == newPaths[j];
      if (same) return {i, j};
    }
  }
  return {0, 0};
}

std::string LockFailure(int error, std::chrono::milliseconds wait) {
  if (error != 0) return Reason(error);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wait.count()) / 1000);
  return std::string("Another run is writing this folder; gave up after ") + seconds + " s";
}

bool StickyAllows(const std::string& target, const struct stat& file) {
  struct stat folder {};
  if (::stat(DirectoryOf(target).c_str(), &folder) != 0 || !(folder.st_mode & S_ISVTX)) return true;
  const uid_t user = ::geteuid();
  return user == 0 || file.st_uid == user || folder.st_uid == user;
}

}  // namespace file_replacing
