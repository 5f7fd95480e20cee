#include "core/save_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

TEST(DefaultSaveFolder, AWritableProgramFolderIsOffered) {
  char pattern[] = "/tmp/kilnsavefolderXXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  EXPECT_EQ(DefaultSaveFolder(folder + "/glyphkiln"), folder + "/");
  ::rmdir(pattern);
}

TEST(DefaultSaveFolder, AnInstalledProgramsFolderGivesWayToTheHomeFolder) {
  // Root may write in /usr/bin; the rule is for the user, so ask as one.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    ::setenv("HOME", "/tmp/kilnhome", 1);
    const bool home = DefaultSaveFolder("/usr/bin/glyphkiln") == "/tmp/kilnhome/";
    const bool bare = DefaultSaveFolder("glyphkiln") == "/tmp/kilnhome/";
    ::_exit(home && bare ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
