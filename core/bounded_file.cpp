#include "core/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool ReadBoundedFile(const char* path, std::size_t maxBytes, std::string& out, std::string* why) {
  out.clear();
  // Opened without blocking, so that a FIFO with no writer is refused at once rather than waited on.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    ::close(fd);
    *why = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  bool failed = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0;
  char buffer[65536];
  while (!failed && out.size() <= maxBytes) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      failed = got < 0;
      break;
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
  const int readError = errno;
  ::close(fd);
  if (failed) {
    *why = std::strerror(readError);
    return false;
  }
  if (out.size() > maxBytes) {
    *why = maxBytes % (1024 * 1024) == 0 ? "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB"
                                         : "larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  return true;
}
