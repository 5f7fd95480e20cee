// What a target of a file replacement is, found out before anything is written,
// and the words a failure is told in. Private to raster/: file_replace.cpp
// stages, locks, commits and undoes a set of such targets.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Kept apart from every other library's names.
namespace file_replacing {

// One file of a set, from its examination to its commit.
struct SetFile {
  int heldFd = -1;       // a descriptor this process holds, written through at its offset
  bool special = false;  // a FIFO or a device, written through
  bool exists = false;
  bool moveAside = false;  // no hard link possible: the old file is renamed aside just before
  struct stat old {};
  std::string target;        // links followed
  std::string temp, backup;  // beside the target, their length fixed once the handler may read them
  bool Renamed() const { return heldFd < 0 && !special; }
};

// False, with `*why` (when given) set to `reason`.
inline bool Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

std::string DirectoryOf(const std::string& path);
// The cause of a failed write, in the words the user reads after the path.
std::string Reason(int error);
// Why a set could not lock its folders: `error`, or the wait that ran out when 0.
std::string LockFailure(int error, std::chrono::milliseconds wait);

// Refuses what the user could not open for writing: a file without any write
// bit (even root), or one the real user has no right to write.
bool MayReplace(const std::string& path, const struct stat& old, std::string* why);
// A sticky folder (/tmp) lets a file in it be replaced only by the file's owner or the folder's.
bool StickyAllows(const std::string& target, const struct stat& file);

// What a target is, found before anything is written: a descriptor already open, a FIFO or a device,
// or a file to replace, new or old (through its links) and one the user may write.
bool Examine(const std::string& path, SetFile& f, std::string* why);
// The first of two targets that are one file (the same device and inode, or where nothing exists
// yet the same real path), with the second; {0, 0} when there are none.
std::pair<std::size_t, std::size_t> SameFile(const std::vector<SetFile>& set);

}  // namespace file_replacing
