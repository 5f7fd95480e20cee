#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/png_file.h"

void (*ReadImageFileOpenedHook)() = nullptr;

namespace {

// The largest picture allowed at 32 bits, plus room for headers, a colour
// table and a gap before the pixels; anything longer is not a sheet.
constexpr std::uint64_t BmpMaxFileBytes = BmpMaxPixels * 4 + 16 * 1024 * 1024;

// A regular file read with pread(): a file cut short while it is read is a
// failed read, where a mapping of it would end the process with SIGBUS.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opened without blocking, so that a FIFO with no writer is refused at once
  // rather than waited on, as is anything else that is not a regular file.
  bool Open(const char* path, std::string* why) {
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return Fail(why, errno == ENOENT ? "no such file" : "cannot open the file");
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail(why, "cannot read the file");
    if (S_ISDIR(st.st_mode)) return Fail(why, "is a folder");
    if (!S_ISREG(st.st_mode)) return Fail(why, "not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > BmpMaxFileBytes) return Fail(why, "file too large");
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return Fail(why, "cannot read the file");
    size_ = static_cast<std::uint64_t>(st.st_size);
    if (ReadImageFileOpenedHook) ReadImageFileOpenedHook();
    return true;
  }

  int Descriptor() const { return fd_; }

  bool IsPng() const {
    std::uint8_t first[8] = {};
    return size_ >= sizeof first && !Source().read(0, first, sizeof first) && IsPngSignature(first);
  }

  BmpSource Source() const {
    return {size_, [fd = fd_](std::uint64_t at, std::uint8_t* to, std::size_t count) -> const char* {
              while (count > 0) {
                const ssize_t got = ::pread(fd, to, count, static_cast<off_t>(at));
                if (got < 0 && errno == EINTR) continue;
                if (got < 0) return "cannot read the file";
                if (got == 0) return "file cut short";
                to += got;
                at += static_cast<std::uint64_t>(got);
                count -= static_cast<std::size_t>(got);
              }
              return nullptr;
            }};
  }

 private:
  static bool Fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
  }
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace

ImageHandleValue ReadImageFile(int number, const char* path, std::string* why) {
  if (number != AutoNumber) DropImage(number);
  if (!path || !*path) {
    if (why) *why = "no file name";
    return 0;
  }
  InputFile file;
  if (!file.Open(path, why)) return 0;

  if (file.IsPng()) {
    PixelStore pixels;
    if (!DecodePngFile(file.Descriptor(), pixels, why)) return 0;
    const int bits = pixels.bitsPerPixel;
    const ImageHandleValue result = AdoptImage(number, std::move(pixels), bits);
    if (!result && why) *why = "out of memory";
    return result;
  }
  DecodedBmp decoded;
  const char* reason = nullptr;
  bool decodedOk = false;
  try {
    decodedOk = DecodeBmp(file.Source(), decoded, &reason);
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  }
  if (!decodedOk) {
    if (why) *why = reason ? reason : "not a BMP file";
    return 0;
  }
  const ImageHandleValue result = AdoptImage(number, std::move(decoded.pixels), decoded.sourceBits);
  if (!result && why) *why = "out of memory";
  return result;
}
