#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/tests/test_files.h"

namespace {

class BmpWriterTest : public ::testing::Test {
 protected:
  ~BmpWriterTest() override { ShutdownImages(); }
  TempFolder folder;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void SetPixel(int number, int x, int y, std::uint32_t colour) {
  std::uint8_t* p = ImagePixels(ImageHandle(number))->Pixel(x, y);
  p[0] = static_cast<std::uint8_t>(colour >> 16);
  p[1] = static_cast<std::uint8_t>(colour >> 8);
  p[2] = static_cast<std::uint8_t>(colour);
}

TEST_F(BmpWriterTest, HeadersAreExactlyTheFortyByteForm) {
  MakeImage(0, 3, 2);
  const std::string path = folder / "a.bmp";
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 78u);
  const std::uint8_t expected[54] = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
      24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
  };
  EXPECT_EQ(std::memcmp(b.data(), expected, 54), 0);
}

TEST_F(BmpWriterTest, FileSizesFollowTheRowPadding) {
  struct Case { int w, h; std::size_t bytes; };
  for (const Case c : {Case{1, 1, 58}, Case{4, 1, 66}, Case{3, 2, 78}, Case{10, 10, 374}}) {
    MakeImage(0, c.w, c.h);
    const std::string path = folder / "s.bmp";
    ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
    const auto b = ReadBytes(path);
    EXPECT_EQ(b.size(), c.bytes) << c.w << "x" << c.h;
    EXPECT_EQ(Le32(b, 2), c.bytes);
    EXPECT_EQ(Le32(b, 34), c.bytes - 54);
  }
}

TEST_F(BmpWriterTest, PixelsAreStoredBottomRowFirstAsBlueGreenRed) {
  // An asymmetric picture: a flip, a red/blue swap or bad padding shows at once.
  MakeImage(0, 3, 2);
  SetPixel(0, 0, 0, 0x000080FF);
  SetPixel(0, 2, 1, 0x00123456);
  const std::string path = folder / "p.bmp";
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  const auto b = ReadBytes(path);
  const std::size_t top = 54 + 12;  // the top row is the last row of the file
  EXPECT_EQ(b[top + 0], 0x00);
  EXPECT_EQ(b[top + 1], 0x80);
  EXPECT_EQ(b[top + 2], 0xFF);
  EXPECT_EQ(b[54 + 6], 0x12);
  EXPECT_EQ(b[54 + 7], 0x34);
  EXPECT_EQ(b[54 + 8], 0x56);
  for (std::size_t pad : {54u + 9, 54u + 10, 54u + 11, 66u + 9, 66u + 10, 66u + 11}) EXPECT_EQ(b[pad], 0) << pad;
}

TEST_F(BmpWriterTest, ThirtyTwoBitSourceDepthWritesFourBytesAPixel) {
  PixelStore store;
  store.width = 2;
  store.height = 1;
  store.rowBytes = RowBytes(2, 24);
  store.bytes = {1, 2, 3, 4, 5, 6, 0, 0};
  ASSERT_NE(AdoptImage(0, std::move(store), 32), 0u);
  const std::string path = folder / "d.bmp";
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 62u);
  EXPECT_EQ(b[28], 32);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.end()), (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
}

TEST_F(BmpWriterTest, ThirtyTwoBitStoreWrittenAtTwentyFourIsCompositedOverWhite) {
  PixelStore store;
  store.width = 3;
  store.height = 1;
  store.bitsPerPixel = 32;
  store.rowBytes = 12;
  // Opaque, fully transparent and half transparent pixels.
  store.bytes = {10, 20, 30, 255, 10, 20, 30, 0, 0, 100, 255, 128};
  ASSERT_NE(AdoptImage(0, std::move(store), 24), 0u);
  const std::string path = folder / "w.bmp";
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 54u + 12);
  const std::vector<std::uint8_t> expected = {10, 20, 30, 255, 255, 255, ((0 - 255) * 128 + 65025) / 255,
                                              ((100 - 255) * 128 + 65025) / 255, 255, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.end()), expected);
}

TEST_F(BmpWriterTest, AWrittenFileReadsBackTheSame) {
  MakeImage(0, 5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) SetPixel(0, x, y, static_cast<std::uint32_t>(x * 40 + (y * 70 << 8) + (0x30 << 16)));
  const std::string path = folder / "r.bmp";
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  ASSERT_NE(ReadImageFile(1, path.c_str()), 0u);
  const ImageRecord* r = FindImageRecord(1);
  EXPECT_EQ(r->width, 5);
  EXPECT_EQ(r->height, 3);
  EXPECT_EQ(r->sourceDepth, 24);
  EXPECT_EQ(ImagePixels(r->handle)->bytes, ImagePixels(ImageHandle(0))->bytes);
}

TEST_F(BmpWriterTest, RefusesWhatCannotBeWrittenAndCreatesNothing) {
  MakeImage(0, 2, 2);
  EXPECT_EQ(WriteImageBmp(0, ""), 0);
  EXPECT_EQ(WriteImageBmp(0, nullptr), 0);
  EXPECT_EQ(WriteImageBmp(9, (folder / "none.bmp").c_str()), 0);
  EXPECT_EQ(WriteImageBmp(0, (folder / "missing/x.bmp").c_str()), 0);
  EXPECT_EQ(WriteImageBmp(0, folder.path().c_str()), 0);
  EXPECT_TRUE(folder.Names().empty());
  EXPECT_EQ(SaveImage(0, (folder / "x.png").c_str(), 1), 0);
  EXPECT_EQ(SaveImage(0, (folder / "x.bmp").c_str()), 1);
}

TEST_F(BmpWriterTest, ReplacingAFileKeepsNoneOfItsOldBytesButItsPermissions) {
  const std::string path = folder / "old.bmp";
  WriteBytes(path, std::vector<std::uint8_t>(1000, 0x77));
  ::chmod(path.c_str(), 0640);
  MakeImage(0, 1, 1);
  ASSERT_EQ(WriteImageBmp(0, path.c_str()), 1);
  EXPECT_EQ(ReadBytes(path).size(), 58u);
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.bmp"});
}

TEST_F(BmpWriterTest, SavingThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
  const std::string real = folder / "real.bmp";
  const std::string link = folder / "link.bmp";
  WriteBytes(real, {1, 2, 3});
  ASSERT_EQ(::symlink("real.bmp", link.c_str()), 0);
  MakeImage(0, 1, 1);
  ASSERT_EQ(WriteImageBmp(0, link.c_str()), 1);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(real).size(), 58u);
}

// Runs `body` in a child process and returns its exit code.
template <class Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(BmpWriterTest, AFailedWriteLeavesTheOldFileAsItWasAndNoTemporary) {
  const std::string path = folder / "keep.bmp";
  const std::vector<std::uint8_t> old(3000, 0x5A);
  WriteBytes(path, old);
  MakeImage(0, 200, 200);  // 120 KB, over the limit below
  const int result = InChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, 50000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return WriteImageBmp(0, path.c_str());
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.bmp"});
}

TEST_F(BmpWriterTest, AFolderThatRefusesNewFilesIsWrittenInPlace) {
  // Only an unprivileged process feels the folder's permissions.
  const std::string path = folder / "inplace.bmp";
  WriteBytes(path, std::vector<std::uint8_t>(500, 1));
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.path().c_str(), 0555);
  MakeImage(0, 1, 1);
  const int result = InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 99;
    const int inPlace = WriteImageBmp(0, path.c_str());
    const int fresh = WriteImageBmp(0, (folder.path() + "/new.bmp").c_str());
    return inPlace * 10 + fresh;
  });
  ::chmod(folder.path().c_str(), 0700);
  EXPECT_EQ(result, 10);
  EXPECT_EQ(ReadBytes(path).size(), 58u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"inplace.bmp"});
}

}  // namespace
