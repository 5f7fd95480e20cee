// Exclusive advisory locks on the folders of a set of files, held from the last check before the
// first rename to the last rename, so that runs writing one set commit one after the other.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

class FolderLocks {
 public:
  FolderLocks() = default;
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;
  ~FolderLocks() { Release(); }
  void Release();
  // Locks each folder named in `folders` (one a file of the set, empty for none; one descriptor a
  // folder however many files it holds) within `wait`. False when one could not be opened or
  // locked: `*which` is the index of a file in it, `*error` the errno, or 0 when the wait ran out.
  // A folder the user may not read, or on a file system without locks, is committed unlocked.
  bool Take(const std::vector<std::string>& folders, std::chrono::milliseconds wait, std::size_t* which, int* error);

 private:
  struct Folder {
    dev_t dev;
    ino_t ino;
    std::size_t file;
    int fd;
  };
  std::vector<Folder> folders_;
};
