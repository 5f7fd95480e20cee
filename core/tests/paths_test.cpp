#include "core/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(PathParts, SplitAtTheLastSeparatorOfEitherKind) {
  const struct {
    const char *path, *directory, *file;
  } cases[] = {
      {"/home/kiln/bin/glyphkiln", "/home/kiln/bin/", "glyphkiln"},
      {"charset.bmp", "", "charset.bmp"},
      {"C:\\tools\\kiln\\charset.bmp", "C:\\tools\\kiln\\", "charset.bmp"},
      {"/mixed\\dir/name.bmp", "/mixed\\dir/", "name.bmp"},
      {"/dir/", "/dir/", ""},
      {"", "", ""},
      {"\"/quoted dir/a b.bmp\"", "/quoted dir/", "a b.bmp"},
      {"/a/b.bmp|*.bmp", "/a/", "b.bmp|*.bmp"},
      {"/a|b/c.bmp", "/", "c.bmp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(FilePart(c.path), c.file) << c.path;
  }
}

// A saved name gets the extension when the name itself has none, whatever its folders are called.
TEST(PathParts, OnlyTheFilesOwnNameDecidesTheDefaultExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/home/j.smith/charset", "/home/j.smith/charset.bmp"}, {"charset", "charset.bmp"},
      {"/a.b\\c", "/a.b\\c.bmp"}, {"/tmp/sheet.png", "/tmp/sheet.png"}, {"/x/.hidden", "/x/.hidden"},
  };
  for (const auto& [path, saved] : cases) EXPECT_EQ(WithDefaultExtension(path, ".bmp"), saved) << path;
}

TEST(ProgramFilePath, NamesThisTestProgram) {
  const std::string path = ProgramFilePath();
  EXPECT_TRUE(path.starts_with('/') && std::filesystem::exists(path));
  EXPECT_EQ(DirectoryPart(path) + FilePart(path), path);
}

}  // namespace
