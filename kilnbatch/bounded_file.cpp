#include "kilnbatch/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool ReadBoundedFile(const char* path, std::size_t maxBytes, std::string& out, std::string* why) {
  out.clear();
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool failed = ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode);
  if (S_ISDIR(st.st_mode)) errno = EISDIR;
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
