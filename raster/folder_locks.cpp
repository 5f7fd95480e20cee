#include "raster/folder_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

void FolderLocks::Release() {
  for (const Folder& folder : folders_) ::close(folder.fd);
  folders_.clear();
}

bool FolderLocks::Take(const std::vector<std::string>& folders, std::chrono::milliseconds wait, std::size_t* which,
                       int* error) {
  std::vector<std::string> opened;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string& path = folders[i];
    if (path.empty() || std::find(opened.begin(), opened.end(), path) != opened.end()) continue;
    opened.push_back(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 && errno == EACCES) continue;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      *which = i;
      *error = errno;
      if (fd >= 0) ::close(fd);
      return false;
    }
    const bool known = std::any_of(folders_.begin(), folders_.end(),
                                   [&](const Folder& f) { return f.dev == st.st_dev && f.ino == st.st_ino; });
    if (known) ::close(fd);
    else folders_.push_back({st.st_dev, st.st_ino, i, fd});
  }
  // Taken in the order of the folders' device and inode, so runs locking several folders never wait
  // on each other for ever.
  std::sort(folders_.begin(), folders_.end(),
            [](const Folder& a, const Folder& b) { return a.dev != b.dev ? a.dev < b.dev : a.ino < b.ino; });
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (const Folder& folder : folders_) {
    // Polled: a lock without a time limit could leave the program waiting for ever on a stuck run.
    for (long pause = 1; ::flock(folder.fd, LOCK_EX | LOCK_NB) != 0; pause = std::min(pause * 2, 10L)) {
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        *which = folder.file;
        *error = 0;
        return false;
      }
      const timespec sleep{0, pause * 1000000};
      ::nanosleep(&sleep, nullptr);
    }
  }
  return true;
}
