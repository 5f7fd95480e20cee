#include "core/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct PathCase {
  const char* path;
  const char* directory;
  const char* file;
};

TEST(PathParts, SplitAtTheLastSeparatorOfEitherKind) {
  const PathCase cases[] = {
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
  for (const PathCase& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(FilePart(c.path), c.file) << c.path;
  }
}

TEST(ProgramFilePath, NamesThisTestProgram) {
  const std::string path = ProgramFilePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(DirectoryPart(path) + FilePart(path), path);
}

}  // namespace
