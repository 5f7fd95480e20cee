#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"

namespace {

// The largest picture allowed at 32 bits, plus room for headers, a colour
// table and a gap before the pixels; anything longer is not a sheet.
constexpr std::uint64_t BmpMaxFileBytes = BmpMaxPixels * 4 + 16 * 1024 * 1024;

// A file's bytes, mapped read-only: no copy of a large sheet before decoding
// (reading into fresh memory costs twice the time of the decode itself).
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() {
    if (data_ && size_ > 0) ::munmap(data_, size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const char* path, std::string* why) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(why, errno == ENOENT ? "no such file" : "cannot open the file");
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!regular || static_cast<std::uint64_t>(st.st_size) > BmpMaxFileBytes) {
      ::close(fd);
      return Fail(why, regular ? "file too large" : "not a regular file");
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
      void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (mapped == MAP_FAILED) {
        ::close(fd);
        size_ = 0;
        return Fail(why, "cannot read the file");
      }
      data_ = mapped;
    }
    ::close(fd);
    return true;
  }
  const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(data_); }
  std::size_t size() const { return size_; }

 private:
  static bool Fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
  }
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

ImageHandleValue ReadImageFile(int number, const char* path, std::string* why) {
  if (number != AutoNumber) DropImage(number);
  if (!path || !*path) {
    if (why) *why = "no file name";
    return 0;
  }
  MappedFile file;
  if (!file.Open(path, why)) return 0;

  DecodedBmp decoded;
  const char* reason = nullptr;
  bool decodedOk = false;
  try {
    decodedOk = DecodeBmp(file.data(), file.size(), decoded, &reason);
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
