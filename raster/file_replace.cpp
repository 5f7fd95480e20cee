#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "raster/file_replace.h"
#include "raster/folder_locks.h"
#include "raster/replace_target.h"

using namespace file_replacing;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the last buffered bytes reached the file.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Lets a test stop the process at the worst moment, without timing.
void RaiseTestSignal() {
  if (const char* signal = std::getenv("KILN_TEST_SIGNAL_ON_TEMP")) ::raise(std::atoi(signal));
}

constexpr int HandledSignals[] = {SIGINT, SIGTERM};

// Holds back the signals whose handler undoes a set, so that a step on the disk and its record
// below are one step as the handler sees them.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    ::sigemptyset(&held);
    for (const int s : HandledSignals) ::sigaddset(&held, s);
    ::pthread_sigmask(SIG_BLOCK, &held, &old_);
  }
  ~SignalsHeld() {
    const int error = errno;
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    errno = error;
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// How far one file of the set in progress has gone, for a signal handler to undo. Kept: the old
// file has a second name beside it. Replaced: the new file has its name; the old one, if any,
// keeps the second name until the whole set is done.
enum Step : std::sig_atomic_t { Untouched, Staged, Kept, Replaced };
struct UndoRecord {
  const char* temp = nullptr;
  const char* backup = nullptr;
  const char* target = nullptr;
  volatile std::sig_atomic_t step = Untouched;
  volatile std::sig_atomic_t hadOld = 0;
};
// The set in progress (one at a time), published only while its names stay where they are.
std::atomic<UndoRecord*> undoRecords{nullptr};
std::atomic<std::size_t> undoCount{0};
static_assert(std::atomic<UndoRecord*>::is_always_lock_free && std::atomic<std::size_t>::is_always_lock_free);

// Undoes what one file's commit has done. Async-signal-safe, for the handler and a failed commit
// alike; an old file that cannot be put back stays under its second name rather than be lost.
void PutBack(UndoRecord& r) {
  const std::sig_atomic_t step = r.step;
  r.step = Untouched;
  if (step == Staged || step == Kept) ::unlink(r.temp);
  if (step == Replaced && !r.hadOld) {
    ::unlink(r.target);
  } else if ((step == Kept || step == Replaced) && ::rename(r.backup, r.target) == 0) {
    ::unlink(r.backup);  // still there when both were names of one file: that rename does nothing
  }
}


// A short name of its own beside the target (".kiln-" and six letters), so any name the file system
// accepts can be replaced: overwrites the last six characters of `name` in place.
void NewNameBeside(std::string& name) {
  static std::atomic<unsigned> counter{0};
  static constexpr char Digits[] = "abcdefghijklmnopqrstuvwxyz012345";
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) ^
                           (static_cast<unsigned long long>(::getpid()) << 20) ^ (counter++ * 0x9E3779B97F4A7C15ull);
  for (std::size_t i = name.size() - 6; i < name.size(); ++i, mix >>= 5) name[i] = Digits[mix & 31];
}

// A new, empty file at `f.temp`, recorded as staged.
int CreateTemp(SetFile& f, UndoRecord& r) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    NewNameBeside(f.temp);
    const SignalsHeld held;
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(f.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) r.step = Staged;
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes a file's new bytes in full into a flushed temporary file beside its target.
bool Stage(SetFile& f, const FileWriter& writeBody, UndoRecord& r, std::string* why) {
  FileDescriptor temp(CreateTemp(f, r));
  // No in-place fallback: truncating the target first would lose it whenever the write then fails.
  if (temp.get() < 0) return Fail(why, Reason(errno));
  RaiseTestSignal();
  int error = 0;
  const auto step = [&error](bool ok) {
    if (!ok && !error) error = errno ? errno : EIO;
    return ok;
  };
  errno = 0;
  bool ok = step(writeBody(temp.get()));
  if (ok && f.exists) {
    // The replacement keeps the old file's owner where allowed (only a privileged process may give a
    // file away), then its permissions, which a change of owner may clear.
    (void)!::fchown(temp.get(), f.old.st_uid, f.old.st_gid);
    ok = step(::fchmod(temp.get(), f.old.st_mode & 07777) == 0);
  }
  // On the disk before the rename, so a power cut leaves the old file or the new one, never an empty one.
  ok = ok && step(::fsync(temp.get()) == 0);
  ok = step(temp.Close()) && ok;
  return ok || Fail(why, Reason(error));  // the temporary file goes with the set's records
}

// Writes through a FIFO, a device or a descriptor we hold: there is no file to replace, and
// truncating one could destroy what another process keeps.
bool WriteThrough(const std::string& path, const SetFile& f, const FileWriter& writeBody, std::string* why) {
  if (f.heldFd >= 0) return writeBody(f.heldFd) || Fail(why, Reason(errno));
  FileDescriptor special(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (special.get() < 0) return Fail(why, Reason(errno));
  return (writeBody(special.get()) || Fail(why, Reason(errno))) && (special.Close() || Fail(why, Reason(errno)));
}


// The last check before the first rename, of the target as it is now (another run may have replaced
// it since it was staged); with `keepOld`, the old file gets a second name beside it, so that it can
// be put back until the whole set is renamed.
bool CheckAndKeepOld(SetFile& f, UndoRecord& r, bool keepOld, std::string* why) {
  // A run replacing one file alone takes no lock: its rename can take the old file away between the
  // look and the link, which then fails with ENOENT, and the file now there is looked at again.
  for (int look = 0; look < 100; ++look) {
    struct stat now {};
    const bool exists = ::lstat(f.target.c_str(), &now) == 0;
    if (!exists && errno != ENOENT) return Fail(why, Reason(errno));
    if (exists && S_ISDIR(now.st_mode)) return Fail(why, Reason(EISDIR));
    if (exists && !MayReplace(f.target, now, why)) return false;
    if (exists && !StickyAllows(f.target, now)) return Fail(why, Reason(EPERM));
    r.hadOld = exists;
    if (!exists || !keepOld) return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
      NewNameBeside(f.backup);
      const SignalsHeld held;
      if (::link(f.target.c_str(), f.backup.c_str()) == 0) return r.step = Kept, true;
      if (errno != EEXIST) break;
    }
    if (errno != ENOENT) break;
  }
  if (errno == EXDEV) return Fail(why, Reason(EBUSY));  // a mount point: its file can be neither linked nor replaced
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return Fail(why, Reason(errno));
  return f.moveAside = true;  // a file system without hard links, or a file too linked already
}

// Gives the staged file its name. No POSIX call renames several files at once: a machine crash
// between two renames leaves some files of a set new and the others old, each whole, with the old
// version of each new one still beside it under a ".kiln-" name.
bool Replace(SetFile& f, UndoRecord& r, bool together, std::string* why) {
  const SignalsHeld held;
  for (int attempt = 0; f.moveAside && r.step != Kept && attempt < 100; ++attempt) {
    NewNameBeside(f.backup);
    if (::renameat2(AT_FDCWD, f.target.c_str(), AT_FDCWD, f.backup.c_str(), RENAME_NOREPLACE) == 0) r.step = Kept;
    else if (errno != EEXIST) return Fail(why, Reason(errno));
  }
  if (f.moveAside && r.step != Kept) return Fail(why, Reason(EEXIST));
  if (::rename(f.temp.c_str(), f.target.c_str()) != 0) return Fail(why, Reason(errno));
  r.step = together ? Replaced : Untouched;  // one file alone is done with its rename
  return true;
}

// Records the renames (and the old files' second names) in their folders.
void SyncFolders(const std::vector<SetFile>& set) {
  std::vector<std::string> folders;
  for (const SetFile& f : set) {
    if (f.Renamed()) folders.push_back(DirectoryOf(f.target));
  }
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (const std::string& path : folders) {
    FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
  }
}

// The folder of each file of the set that is renamed into place, empty for the others.
std::vector<std::string> FoldersOf(const std::vector<SetFile>& set) {
  std::vector<std::string> folders(set.size());
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (set[i].Renamed()) folders[i] = DirectoryOf(set[i].target);
  }
  return folders;
}

// The undo records of a set, published for the signal handler while the set is written, their
// names preallocated. A set left without its commit is put back as it was.
class SetRecords {
 public:
  explicit SetRecords(const std::vector<SetFile>& set) : records_(set.size()) {
    for (std::size_t i = 0; i < set.size(); ++i) {
      records_[i] = {set[i].temp.c_str(), set[i].backup.c_str(), set[i].target.c_str()};
    }
    undoCount = records_.size();
    undoRecords = records_.data();
  }
  ~SetRecords() {
    {
      const SignalsHeld held;
      for (std::size_t i = records_.size(); i-- > 0;) PutBack(records_[i]);
    }
    undoRecords = nullptr;
  }
  SetRecords(const SetRecords&) = delete;
  SetRecords& operator=(const SetRecords&) = delete;
  UndoRecord& operator[](std::size_t i) { return records_[i]; }
  // The whole set is new, with nothing left to undo: the lock goes, and the old files' second
  // names once the renames are on the disk.
  void Commit(FolderLocks& locks, const std::vector<SetFile>& set) {
    const SignalsHeld held;
    std::vector<const char*> backups;
    for (UndoRecord& r : records_) {
      if (r.step == Replaced && r.hadOld) backups.push_back(r.backup);
      r.step = Untouched;
    }
    locks.Release();
    SyncFolders(set);
    for (const char* backup : backups) ::unlink(backup);
  }

 private:
  std::vector<UndoRecord> records_;
};

}  // namespace

// Writes every byte or fails; short writes are retried, a failed one is final.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplaceFile(const std::string& path, const FileWriter& writeBody, std::string* why) {
  return ReplaceFiles({{path, writeBody}}, nullptr, why);
}

bool ReplaceFiles(const std::vector<FileToReplace>& files, std::size_t* failed, std::string* why) {
  return ReplaceFilesWaiting(files, std::chrono::seconds(10), failed, why);
}

bool ReplaceFilesWaiting(const std::vector<FileToReplace>& files, std::chrono::milliseconds lockWait,
                         std::size_t* failed, std::string* why) {
  assert(files.size() <= MaxFilesReplacedTogether);
  const auto fail = [&](std::size_t i) {
    if (failed) *failed = i;
    return false;
  };
  std::vector<SetFile> set(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!Examine(files[i].path, set[i], why)) return fail(i);
  }
  auto [first, second] = SameFile(set);
  if (second > 0) {
    // Another run's commit between two of those looks can free an old file's inode and give it to
    // a new file under another of the names. The names are looked at again while no other set
    // commits in their folders: two that are one file then are one file.
    FolderLocks still;
    std::size_t which = 0;
    int error = 0;
    if (!still.Take(FoldersOf(set), lockWait, &which, &error)) return Fail(why, LockFailure(error, lockWait)), fail(which);
    for (std::size_t i = 0; i < files.size(); ++i) {
      set[i] = {};
      if (!Examine(files[i].path, set[i], why)) return fail(i);
    }
    std::tie(first, second) = SameFile(set);
  }
  if (second > 0) return Fail(why, "The same file as " + files[first].path), fail(second);
  FolderLocks locks;  // released after the records have put back whatever a failure left
  SetRecords records(set);
  std::size_t renamed = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!set[i].Renamed()) continue;
    ++renamed;
    if (!Stage(set[i], files[i].writeBody, records[i], why)) return fail(i);
  }
  // Only with every file whole on the disk does a FIFO or a device hear of the set.
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!set[i].Renamed() && !WriteThrough(files[i].path, set[i], files[i].writeBody, why)) return fail(i);
  }
  // A single rename is whole or not done by itself; several need the lock and the old files kept.
  const bool together = renamed > 1;
  if (together) {
    std::size_t which = 0;
    int error = 0;
    if (!locks.Take(FoldersOf(set), lockWait, &which, &error)) return Fail(why, LockFailure(error, lockWait)), fail(which);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (set[i].Renamed() && !CheckAndKeepOld(set[i], records[i], together, why)) return fail(i);
  }
  if (together) SyncFolders(set);  // the old files' second names outlast a crash
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (set[i].Renamed() && !Replace(set[i], records[i], together, why)) return fail(i);
  }
  records.Commit(locks, set);
  return true;
}

void RemovePartialWrite() {
  UndoRecord* const records = undoRecords.load();
  if (!records) return;
  for (std::size_t i = undoCount.load(); i-- > 0;) PutBack(records[i]);
}

void RemovePartialWriteAndReraise(int signal) {
  RemovePartialWrite();
  ::signal(signal, SIG_DFL);
  sigset_t set;
  ::sigemptyset(&set);
  ::sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
}

void RemovePartialWriteOnSignals() {
  for (const int s : HandledSignals) {
    if (std::signal(s, RemovePartialWriteAndReraise) == SIG_IGN) std::signal(s, SIG_IGN);
  }
  // Past a size limit a write then fails with EFBIG, and the save fails as on a full disk,
  // saying why, instead of the program dying.
  std::signal(SIGXFSZ, SIG_IGN);
}
