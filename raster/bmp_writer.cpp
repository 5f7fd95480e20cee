#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/bmp_file.h"

namespace {

constexpr std::size_t BmpHeaderBytes = 54;

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

std::array<std::uint8_t, BmpHeaderBytes> BmpHeaders(int width, int height, int bits, std::size_t rowBytes) {
  std::array<std::uint8_t, BmpHeaderBytes> h{};
  const auto pixelBytes = static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height));
  h[0] = 'B';
  h[1] = 'M';
  Put32(&h[2], static_cast<std::uint32_t>(BmpHeaderBytes) + pixelBytes);
  Put32(&h[10], BmpHeaderBytes);
  Put32(&h[14], 40);
  Put32(&h[18], static_cast<std::uint32_t>(width));
  Put32(&h[22], static_cast<std::uint32_t>(height));
  Put16(&h[26], 1);
  Put16(&h[28], static_cast<std::uint32_t>(bits));
  Put32(&h[34], pixelBytes);
  return h;
}

// Writes every byte or fails; short writes are retried, a failed one is final.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The file's bytes after its headers, for a store written at `bits`.
bool WritePixels(int fd, const PixelStore& store, int bits, std::size_t fileRowBytes) {
  if (store.bitsPerPixel == bits && store.rowBytes == fileRowBytes) {
    return WriteAll(fd, store.bytes.data(), store.bytes.size());
  }
  std::vector<std::uint8_t> row(fileRowBytes, 0);
  const std::size_t outBytes = static_cast<std::size_t>(bits / 8);
  for (int fileRow = 0; fileRow < store.height; ++fileRow) {
    const std::uint8_t* in = store.bytes.data() + static_cast<std::size_t>(fileRow) * store.rowBytes;
    std::uint8_t* out = row.data();
    for (int x = 0; x < store.width; ++x, out += outBytes) {
      if (store.bitsPerPixel == 32) {
        // Over white, as a viewer without alpha would show it.
        const int alpha = in[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(((in[c] - 255) * alpha + 65025) / 255);
        in += 4;
      } else {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        in += 3;
      }
      if (outBytes == 4) out[3] = 0;
    }
    if (!WriteAll(fd, row.data(), row.size())) return false;
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the last buffered bytes reached the file.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// A new, empty file beside `target`; its name goes to `*tempPath`.
int CreateTempBeside(const std::string& target, std::string* tempPath) {
  const std::string dir = DirectoryOf(target);
  const std::string base = target.substr(target.find_last_of('/') + 1);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    *tempPath = dir + "/." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

template <class WriteBody>
int ReplaceFile(const char* requestedPath, WriteBody writeBody) {
  const std::string target = ResolveLinks(requestedPath);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return 0;

  std::string tempPath;
  FileDescriptor temp(CreateTempBeside(target, &tempPath));
  if (temp.get() < 0) {
    // No new file allowed in the folder: the file itself is all we may touch.
    if (!exists || ::access(target.c_str(), W_OK) != 0) return 0;
    FileDescriptor inPlace(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (inPlace.get() < 0) return 0;
    const bool written = writeBody(inPlace.get());
    return written && inPlace.Close() ? 1 : 0;
  }

  bool ok = writeBody(temp.get());
  if (ok && exists) {
    // The replacement keeps the old file's permissions and, where allowed, owner.
    ok = ::fchmod(temp.get(), old.st_mode & 07777) == 0;
    if (ok && ::fchown(temp.get(), old.st_uid, old.st_gid) != 0) {
      // Only a privileged process may give a file away; the mode is what matters.
    }
  }
  ok = temp.Close() && ok;
  ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tempPath.c_str());
  return ok ? 1 : 0;
}

}  // namespace

int WriteImageBmp(int number, const char* path) {
  if (!path || !*path) return 0;
  const ImageRecord* record = FindImageRecord(number);
  if (!record) return 0;
  const PixelStore* store = ImagePixels(record->handle);
  if (!store) return 0;

  // Depths other than 32 have no writer of their own here: they are written
  // as the 24-bit store holds them.
  const int bits = record->sourceDepth == 32 ? 32 : 24;
  const std::size_t fileRowBytes = RowBytes(store->width, bits);
  const auto headers = BmpHeaders(store->width, store->height, bits, fileRowBytes);
  return ReplaceFile(path, [&](int fd) {
    return WriteAll(fd, headers.data(), headers.size()) && WritePixels(fd, *store, bits, fileRowBytes);
  });
}

int SaveImage(int number, const char* path, int format, int quality) {
  (void)quality;  // BMP has no quality setting.
  if (format != ImageFormatBmp) return 0;
  return WriteImageBmp(number, path);
}
