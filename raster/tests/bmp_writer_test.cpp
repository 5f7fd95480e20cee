// The BMP writer: exact bytes at both depths; a file replaced whole or not at all, nothing beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/tests/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class BmpWriterTest : public ::testing::Test {
 protected:
  ~BmpWriterTest() override { ShutdownImages(); }
  TempFolder folder;
};

// An asymmetric picture of odd width: a flip, a red/blue swap or wrong padding shows at once.
TEST_F(BmpWriterTest, AnOddWidthPictureIsWrittenByteForByte) {
  MakeImage(0, 3, 2);
  std::copy_n("\x00\x80\xFF", 3, ImagePixels(ImageHandle(0))->Pixel(0, 0));  // blue, green, red
  std::copy_n("\x12\x34\x56", 3, ImagePixels(ImageHandle(0))->Pixel(2, 1));
  ASSERT_EQ(WriteImageBmp(0, (folder / "f.bmp").c_str()), 1);
  const Bytes expected = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                                         // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0,  // info header
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                                     // ...
      0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0, 0, 0,                                            // bottom row
      0, 0x80, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                               // top row
  };
  EXPECT_EQ(ReadBytes(folder / "f.bmp"), expected);
}

// A 32-bit source depth is written 4 bytes a pixel; a 32-bit store at 24 bits, over white.
TEST_F(BmpWriterTest, ThirtyTwoBitsPixelByPixel) {
  const struct { int width, storeBits, sourceDepth; Bytes store, pixels; } cases[] = {
      {2, 24, 32, {1, 2, 3, 4, 5, 6, 0, 0}, {1, 2, 3, 0, 4, 5, 6, 0}},
      {3, 32, 24, {10, 20, 30, 255, 10, 20, 30, 0, 0, 100, 255, 128},  // opaque, clear, half clear
       {10, 20, 30, 255, 255, 255, 127, 177, 255, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    ASSERT_NE(AdoptImage(0, {c.width, 1, c.storeBits, c.store.size(), c.store}, c.sourceDepth), 0u);
    ASSERT_EQ(WriteImageBmp(0, (folder / "d.bmp").c_str()), 1);
    const Bytes file = ReadBytes(folder / "d.bmp");
    ASSERT_EQ(file.size(), 54 + c.pixels.size());
    EXPECT_EQ(file[28], c.sourceDepth);
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), c.pixels);
    ASSERT_NE(ReadImageFile(1, (folder / "d.bmp").c_str()), 0u);  // and is read back at its depth
    EXPECT_EQ(FindImageRecord(1)->sourceDepth, c.sourceDepth);
  }
}

// A file is replaced through a link, keeping its mode, or kept as it was when the write fails. A
// folder that refuses new files (felt only without privileges) gets the file written in place.
TEST_F(BmpWriterTest, AFileIsReplacedWholeOrKeptAsItWas) {
  void (*const none)() = [] {};
  void (*const sizeLimit)() = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, 50000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  void (*const unprivileged)() = [] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
  };
  const struct { void (*limit)(); mode_t folderMode; const char* name; int result; } cases[] = {
      {none, 0700, "link.bmp", 1},      {none, 0700, "missing/x.bmp", 0},  {none, 0700, "", 0},
      {sizeLimit, 0700, "old.bmp", 0}, {unprivileged, 0555, "old.bmp", 1}, {unprivileged, 0555, "new.bmp", 0}};
  const Bytes old(3000, 0x5A);
  ASSERT_EQ(::symlink("old.bmp", (folder / "link.bmp").c_str()), 0);
  MakeImage(0, 200, 200);  // 120 KB, past the size limit
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "old.bmp", old);
    ::chmod((folder / "old.bmp").c_str(), 0606);  // unusual, and writable by the unprivileged
    ::chmod(folder.path().c_str(), c.folderMode);
    const pid_t child = ::fork();
    if (child == 0) c.limit(), ::_exit(WriteImageBmp(0, (folder / c.name).c_str()));
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.result);
    ::chmod(folder.path().c_str(), 0700);
    const Bytes now = ReadBytes(folder / "old.bmp");
    EXPECT_TRUE(c.result ? now.size() == 54 + 600 * 200 : now == old);
    struct stat st {};
    EXPECT_TRUE(::stat((folder / "old.bmp").c_str(), &st) == 0 && (st.st_mode & 07777) == 0606);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);  // the file and the link
  }
}

}  // namespace
