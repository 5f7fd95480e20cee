#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"

namespace {

// The largest picture allowed at 32 bits, plus room for headers, a colour
// table and a gap before the pixels; anything longer is not a sheet.
constexpr std::uint64_t BmpMaxFileBytes = BmpMaxPixels * 4 + 16 * 1024 * 1024;

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes, std::string* why) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (why) *why = errno == ENOENT ? "no such file" : "cannot open the file";
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok && why) *why = "not a regular file";
  if (ok && static_cast<std::uint64_t>(st.st_size) > BmpMaxFileBytes) {
    ok = false;
    if (why) *why = "file too large";
  }
  if (ok) {
    try {
      bytes.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
      ok = false;
      if (why) *why = "out of memory";
    }
  }
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      if (why) *why = "read error";
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return ok;
}

}  // namespace

ImageHandleValue ReadImageFile(int number, const char* path, std::string* why) {
  if (number != AutoNumber) DropImage(number);
  if (!path || !*path) {
    if (why) *why = "no file name";
    return 0;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, why)) return 0;

  DecodedBmp decoded;
  const char* reason = nullptr;
  if (!DecodeBmp(bytes.data(), bytes.size(), decoded, &reason)) {
    if (why) *why = reason ? reason : "not a BMP file";
    return 0;
  }
  const ImageHandleValue result = AdoptImage(number, std::move(decoded.pixels), decoded.sourceBits);
  if (!result && why) *why = "out of memory";
  return result;
}
