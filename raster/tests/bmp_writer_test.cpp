// The BMP writer: exact bytes at both depths; a file replaced whole or not at all, nothing beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/tests/test_files.h"

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

// A file is replaced through a link, keeping its mode, or kept as it was when the write fails. A
// folder that refuses new files (felt only without privileges) gets the file written in place.
TEST_F(BmpWriterTest, AFileIsReplacedWholeOrKeptAsItWas) {
  enum Limit { None, FileSize, Unprivileged };
  const struct { Limit limit; const char* name; int result; } cases[] = {
      {None, "link.bmp", 1},     {None, "missing/x.bmp", 0},      {None, "", 0},
      {FileSize, "old.bmp", 0}, {Unprivileged, "old.bmp", 1}, {Unprivileged, "new.bmp", 0}};
  const Bytes old(3000, 0x5A);
  ASSERT_EQ(::symlink("old.bmp", (folder / "link.bmp").c_str()), 0);
  MakeImage(0, 200, 200);  // 120 KB, past the size limit
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "old.bmp", old);
    ::chmod((folder / "old.bmp").c_str(), 0606);  // unusual, and writable by the unprivileged
    ::chmod(folder.path.c_str(), c.limit == Unprivileged ? 0555 : 0700);
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit limit{50000, 50000};
      if (c.limit == FileSize) ::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &limit);
      if (c.limit == Unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
      ::_exit(WriteImageBmp(0, (folder / c.name).c_str()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.result);
    ::chmod(folder.path.c_str(), 0700);
    const Bytes now = ReadBytes(folder / "old.bmp");
    EXPECT_TRUE(c.result ? now.size() == 54 + 600 * 200 : now == old);
    struct stat st {};
    EXPECT_TRUE(::stat((folder / "old.bmp").c_str(), &st) == 0 && (st.st_mode & 07777) == 0606);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 2);  // the file and the link
  }
}

}  // namespace
