// A set of files replaced together: whole or not at all, whatever fails part way, whoever else
// writes the same set, and never two names of one file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "raster/file_replace.h"
#include "core/tests/test_files.h"

// Counts down every rename; the one reaching 0 fails with renameError or raises renameSignal.
static int renamesToFault = 0, renameError = 0, renameSignal = 0;

// Every rename of this program comes here, so a test can make one of a set fail as an I/O error or
// a full disk would, or interrupt it, at a chosen point of the commit.
extern "C" int rename(const char* from, const char* to) noexcept {
  if (renamesToFault > 0 && --renamesToFault == 0) {
    if (renameSignal) ::raise(renameSignal);
    if (renameError) return errno = renameError, -1;
  }
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace {

FileWriter Writes(std::string text) {
  return [text](int fd) { return WriteAll(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()); };
}

std::string TextOf(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

int StatusOf(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, 0), status;
}

std::set<std::string> Names(const TempFolder& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path)) names.insert(entry.path().filename());
  return names;
}

// Two names of one file, through a link, a second hard link or another spelling, even where
// nothing exists yet: refused, naming both, before a byte is written.
TEST(FileReplaceTest, TwoNamesOfOneFileAreRefusedBeforeAnythingIsWritten) {
  TempFolder folder;
  WriteBytes(folder / "x.png", {'o', 'l', 'd'});
  ASSERT_EQ(::symlink("x.png", (folder / "link.fnt").c_str()), 0);
  ASSERT_EQ(::link((folder / "x.png").c_str(), (folder / "hard.fnt").c_str()), 0);
  ASSERT_EQ(::symlink("new.png", (folder / "dangling.fnt").c_str()), 0);
  const std::string other = "../" + std::filesystem::path(folder.path).filename().string() + "/new.png";
  const std::set<std::string> before = Names(folder);
  const std::pair<std::string, std::string> cases[] = {
      {"x.png", "link.fnt"}, {"x.png", "hard.fnt"}, {"x.png", "./x.png"}, {"new.png", "dangling.fnt"}, {"new.png", other}};
  for (const auto& [first, second] : cases) {
    SCOPED_TRACE(second);
    std::size_t failed = 0;
    std::string why;
    EXPECT_FALSE(ReplaceFiles({{folder / first, Writes("image")}, {folder / second, Writes("descriptor")}}, &failed, &why));
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(why, "The same file as " + folder / first);
    EXPECT_EQ(TextOf(folder / "x.png"), "old");
    EXPECT_EQ(Names(folder), before);
  }
}

// A FIFO among the targets hears of a set only once every file is staged: a set refused then has
// written nothing anywhere, and nothing is left beside its files; a set written reaches all.
TEST(FileReplaceTest, AFifoHearsNothingOfASetThatFails) {
  TempFolder folder;
  WriteBytes(folder / "x.png", {'o', 'l', 'd'});
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  const int reader = ::open((folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK);  // lets the writer open it
  std::size_t failed = 0;
  std::string why;
  EXPECT_FALSE(ReplaceFiles({{folder / "pipe", Writes("glyphs")}, {folder / "x.png", Writes("new")},
                             {folder / "none/x.fnt", Writes("descriptor")}}, &failed, &why));
  EXPECT_EQ(failed, 2u);
  EXPECT_EQ(why, "No such folder");
  char heard[16];
  EXPECT_LE(::read(reader, heard, sizeof heard), 0);
  EXPECT_EQ(TextOf(folder / "x.png"), "old");
  EXPECT_EQ(Names(folder), (std::set<std::string>{"pipe", "x.png"}));
  EXPECT_TRUE(ReplaceFiles({{folder / "pipe", Writes("glyphs")}, {folder / "x.png", Writes("new")}}, &failed, &why));
  EXPECT_EQ(::read(reader, heard, sizeof heard), 6);
  EXPECT_EQ(TextOf(folder / "x.png"), "new");
  ::close(reader);
}

// A rename failing, or a signal coming, after part of a set is replaced, or another user's file in a
// sticky folder such as /tmp: every old file is kept or put back byte for byte, the new one removed
// again and nothing left beside them.
TEST(FileReplaceTest, ASetStoppedBetweenRenamesIsPutBackAsItWas) {
  const struct { int rename, error, signal; bool sticky = false; } cases[] = {
      {2, EIO, 0}, {3, ENOSPC, 0}, {2, 0, SIGTERM}, {3, 0, SIGINT}, {2, 0, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rename * 100 + c.error + c.signal);
    TempFolder folder;
    const std::string old(5000, 'p');
    WriteBytes(folder / "x.png", {old.begin(), old.end()});
    WriteBytes(folder / "x.fnt", {'f'});
    if (c.sticky) {  // x.fnt is root's, open to all; x.png and the run are another user's
      if (::geteuid() != 0) continue;
      ::chmod(folder.path.c_str(), 01777), ::chmod((folder / "x.fnt").c_str(), 0666);
      ASSERT_EQ(::chown((folder / "x.png").c_str(), 65534, 65534), 0);
    }
    const pid_t child = ::fork();
    if (child == 0) {
      if (c.sticky && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
      RemovePartialWriteOnSignals();
      renamesToFault = c.rename, renameError = c.error, renameSignal = c.signal;
      std::size_t failed = 0;
      const bool written = ReplaceFiles({{folder / "x.png", Writes("png")}, {folder / "x.fnt", Writes("fnt")},
                                         {folder / "x.json", Writes("{}")}}, &failed, nullptr);
      ::_exit(!written && failed + 1 == static_cast<std::size_t>(c.rename) ? 0 : 1);
    }
    const int status = StatusOf(child);
    EXPECT_TRUE(c.signal ? WIFSIGNALED(status) && WTERMSIG(status) == c.signal : WIFEXITED(status) && !WEXITSTATUS(status));
    EXPECT_EQ(TextOf(folder / "x.png"), old);
    EXPECT_EQ(TextOf(folder / "x.fnt"), "f");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"x.fnt", "x.png"}));
  }
}

// Twenty runs writing the same set at once, a few times over: the set found afterwards is one run's.
TEST(FileReplaceTest, RunsWritingOneSetAtOnceLeaveOneRunsSet) {
  TempFolder folder;
  for (int round = 0; round < 4; ++round) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> runs;
    for (int run = 0; run < 20; ++run) {
      if (runs.emplace_back(::fork()) != 0) continue;
      char go;
      ::close(gate[1]);
      (void)!::read(gate[0], &go, 1);  // all start together, when the gate closes
      const std::string tag = std::to_string(run);
      // A loaded machine may take longer than the usual wait for twenty commits in a row.
      ::_exit(ReplaceFilesWaiting({{folder / "x.png", Writes(tag)}, {folder / "x.fnt", Writes(tag)},
                                   {folder / "x.json", Writes(tag)}}, std::chrono::minutes(2), nullptr, nullptr) ? 0 : 1);
    }
    ::close(gate[0]), ::close(gate[1]);
    for (const pid_t run : runs) EXPECT_EQ(StatusOf(run), 0);
    EXPECT_EQ(TextOf(folder / "x.fnt"), TextOf(folder / "x.png"));
    EXPECT_EQ(TextOf(folder / "x.json"), TextOf(folder / "x.png"));
    EXPECT_EQ(Names(folder), (std::set<std::string>{"x.fnt", "x.json", "x.png"}));
  }
}

// A run saving the image alone takes no lock, and its rename can take the old image away just as a
// set links it to keep it: the set looks again rather than failing.
TEST(FileReplaceTest, ASetIsWrittenWhileAnotherRunReplacesItsImageAlone) {
  TempFolder folder;
  int stop[2];
  ASSERT_EQ(::pipe2(stop, O_NONBLOCK), 0);
  const pid_t alone = ::fork();
  for (char go; alone == 0 && ::read(stop[0], &go, 1) < 0;) {  // its rename alone, as fast as it goes
    ::close(::open((folder / "new").c_str(), O_CREAT | O_WRONLY, 0644));
    ::rename((folder / "new").c_str(), (folder / "x.png").c_str());
  }
  if (alone == 0) ::_exit(0);
  int failed = 0;
  const std::vector<FileToReplace> set{{folder / "x.png", Writes("s")}, {folder / "x.fnt", Writes("s")}};
  for (int i = 0; i < 200; ++i) failed += !ReplaceFiles(set, nullptr, nullptr);
  (void)!::write(stop[1], "!", 1);
  EXPECT_EQ(StatusOf(alone), 0);
  EXPECT_EQ(failed, 0);
  ::close(stop[0]), ::close(stop[1]);
}

// A set whose folder another run keeps locked gives up after the wait, with nothing renamed.
TEST(FileReplaceTest, ASetWaitsForAnotherRunsCommitThenGivesUp) {
  TempFolder folder;
  WriteBytes(folder / "x.png", {'o', 'l', 'd'});
  const int other = ::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY);  // its own lock, as another run's
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  std::size_t failed = 9;
  std::string why;
  EXPECT_FALSE(ReplaceFilesWaiting({{folder / "x.png", Writes("png")}, {folder / "x.fnt", Writes("fnt")}},
                                   std::chrono::milliseconds(50), &failed, &why));
  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(why, "Another run is writing this folder; gave up after 0.05 s");
  EXPECT_EQ(TextOf(folder / "x.png"), "old");
  EXPECT_EQ(Names(folder), std::set<std::string>{"x.png"});
  ::close(other);
}

}  // namespace
