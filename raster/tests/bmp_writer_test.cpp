// The BMP writer: exact bytes at both depths; a file replaced whole or not at all, nothing beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/tests/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct BmpWriterTest : ::testing::Test {
  ~BmpWriterTest() override { ShutdownImages(); }
  TempFolder folder;
};

// Asymmetric stores of odd width: a flip, a red/blue swap, wrong padding or a wrong header field shows
// at once. A 32-bit source depth is written 4 bytes a pixel; a 32-bit store at 24 bits, over white.
TEST_F(BmpWriterTest, EachDepthIsWrittenByteForByte) {
  const struct { std::uint8_t width, height, storeBits, sourceDepth; Bytes store, pixels; } cases[] = {
      {3, 2, 24, 24, {0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0, 0, 0, 0, 0x80, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {}},
      {2, 1, 24, 32, {1, 2, 3, 4, 5, 6, 0, 0}, {1, 2, 3, 0, 4, 5, 6, 0}},
      {3, 1, 32, 24, {10, 20, 30, 255, 10, 20, 30, 0, 0, 100, 255, 128},  // opaque, clear, half clear
       {10, 20, 30, 255, 255, 255, 127, 177, 255, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Bytes& pixels = c.pixels.empty() ? c.store : c.pixels;  // {}: the store as it is
    const auto n = static_cast<std::uint8_t>(pixels.size());      // every file here is under 256 bytes
    Bytes expected = {'B', 'M', std::uint8_t(54 + n), 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, c.width, 0, 0, 0,
                      c.height, 0, 0, 0, 1, 0, c.sourceDepth, 0, 0, 0, 0, 0, n, 0, 0, 0};
    expected.resize(54);  // no resolution, all colours used
    expected.insert(expected.end(), pixels.begin(), pixels.end());
    ASSERT_NE(AdoptImage(0, {c.width, c.height, c.storeBits, c.store.size() / c.height, c.store}, c.sourceDepth), 0u);
    ASSERT_EQ(WriteImageBmp(0, (folder / "d.bmp").c_str()), 1);
    EXPECT_EQ(ReadBytes(folder / "d.bmp"), expected);
    ASSERT_NE(ReadImageFile(1, (folder / "d.bmp").c_str()), 0u);  // and is read back at its depth
    EXPECT_EQ(FindImageRecord(1)->sourceDepth, c.sourceDepth);
  }
}

// A file is replaced through a link, keeping its mode, or kept byte for byte with the cause given,
// never written in place: not when the folder refuses new files, nor past a size limit, whatever the
// name's length; a file the user may not write is refused, even to root when it has no write bit. PNG
// goes through the same replacement, its encoder stopped by the size limit mid-stream.
TEST_F(BmpWriterTest, AFileIsReplacedWholeOrKeptAsItWas) {
  enum Limit { None, FileSize, Unprivileged };
  const std::string longName = std::string(240, 'n') + ".bmp";
  const int Png = ImageFormatPng;
  const struct { Limit limit; std::string name; mode_t mode, folderMode; const char* why; int format = 0; } cases[] = {
      {None, "link.bmp", 0606, 0700, ""},  {None, "missing/x.bmp", 0606, 0700, "No such folder"},
      {None, "", 0606, 0700, "No file name"}, {None, "loop.bmp", 0606, 0700, "Too many levels of links (a link loop)"},
      {None, "old.bmp", 0444, 0700, "Read-only file"}, {FileSize, "old.bmp", 0606, 0700, "File too large"},
      {FileSize, longName, 0606, 0700, "File too large"}, {Unprivileged, "old.bmp", 0606, 0555, "Permission denied"},
      {Unprivileged, "old.bmp", 0644, 0777, "Permission denied"},  // another user's file, when run as root
      {None, "link.bmp", 0606, 0700, "", Png}, {FileSize, "old.bmp", 0606, 0700, "File too large", Png},
      {Unprivileged, "old.bmp", 0606, 0555, "Permission denied", Png}};
  const Bytes old(3000, 0x5A);
  ASSERT_EQ(::symlink("old.bmp", (folder / "link.bmp").c_str()), 0);
  ASSERT_EQ(::symlink("loop.bmp", (folder / "loop.bmp").c_str()), 0);
  MakeImage(0, 200, 200);  // 120 KB, past the size limit, even compressed
  for (std::uint8_t& b : ImagePixels(ImageHandle(0))->bytes) b = static_cast<std::uint8_t>(std::rand());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20) + " " + c.why + (c.format == Png ? " png" : ""));
    if (c.folderMode == 0777 && ::geteuid() != 0) continue;  // no other user to be
    const std::string kept = folder / (c.name == longName ? longName : "old.bmp");
    WriteBytes(kept, old);
    ::chmod(kept.c_str(), c.mode);
    ::chmod(folder.path.c_str(), c.folderMode);
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit limit{50000, 50000};
      if (c.limit == FileSize) ::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &limit);
      if (c.limit == Unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
      std::string why;
      const int written = SaveImage(0, c.name.empty() ? "" : (folder / c.name).c_str(), c.format, 7, &why);
      ::_exit(written ? 1 : why == c.why ? 0 : (std::fprintf(stderr, "%s\n", why.c_str()), 2));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, *c.why ? 0 : 1);
    ::chmod(folder.path.c_str(), 0700);
    const Bytes now = ReadBytes(kept);
    EXPECT_TRUE(*c.why ? now == old : c.format == Png ? now.size() > 8 && now[1] == 'P' : now.size() == 54 + 600 * 200);
    struct stat st {};
    EXPECT_TRUE(::stat(kept.c_str(), &st) == 0 && (st.st_mode & 07777) == c.mode && st.st_uid == ::geteuid());
    std::filesystem::remove(folder / longName);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 3);  // the file and the links
  }
}

}  // namespace
