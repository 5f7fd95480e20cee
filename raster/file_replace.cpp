#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "raster/file_replace.h"

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The cause of a failed write, in the words the user reads after the path.
std::string Reason(int error) {
  switch (error) {
    case ENOSPC: return "No space left on the device";
    case EDQUOT: return "Disk quota exceeded";
    case EACCES:
    case EPERM: return "Permission denied";
    case ENOENT: return "No such folder";
    case ENOTDIR: return "A part of the path is not a folder";
    case EISDIR: return "Is a folder";
    case EROFS: return "Read-only file system";
    case EFBIG: return "File too large";
    case ELOOP: return "Too many levels of links (a link loop)";
    case ENAMETOOLONG: return "File name too long";
    case EBADF: return "Not open for writing";
    default: return std::strerror(error);
  }
}

bool Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

// Follows symbolic links to the file they finally name, so that saving
// through a link replaces the file and keeps the link.
std::string ResolveLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : DirectoryOf(path) + "/" + target;
  }
  return path;
}

// The descriptor a path names when it names one this process already holds
// ("/dev/stdout", "/dev/fd/N", "/proc/self/fd/N"), else -1. Such a descriptor
// is written at its own offset: a new open would start the file again.
int InheritedDescriptor(const std::string& path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t n = std::strlen(prefix);
    if (path.compare(0, n, prefix) != 0 || path.size() == n || path.size() > n + 9) continue;
    if (path.find_first_not_of("0123456789", n) != std::string::npos) return -1;
    return std::stoi(path.substr(n));
  }
  return -1;
}

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

// The temporary files being written, for a signal handler to remove: fixed
// buffers, each flagged only while its file exists and is ours.
char partialPaths[MaxFilesReplacedTogether][PATH_MAX + 16];
volatile std::sig_atomic_t partialExists[MaxFilesReplacedTogether] = {};

void ForgetPartial(int slot) {
  partialExists[slot] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

// Lets a test stop the process at the worst moment, without timing.
void RaiseTestSignal() {
  if (const char* signal = std::getenv("KILN_TEST_SIGNAL_ON_TEMP")) ::raise(std::atoi(signal));
}

// A new, empty file beside `target` under a short name of its own, so any
// name the file system accepts can be replaced; its name goes to the slot.
int CreateTempBeside(const std::string& target, int slot) {
  char* const partialPath = partialPaths[slot];
  const std::string dir = DirectoryOf(target) + "/.kiln-";
  if (dir.size() + 7 > sizeof partialPaths[slot]) {
    errno = ENAMETOOLONG;
    return -1;
  }
  static std::atomic<unsigned> counter{0};
  static constexpr char Digits[] = "abcdefghijklmnopqrstuvwxyz012345";
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) ^
                             (static_cast<unsigned long long>(::getpid()) << 20) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    char name[7] = {};
    for (int i = 0; i < 6; ++i, mix >>= 5) name[i] = Digits[mix & 31];
    char candidate[sizeof partialPaths[slot]];
    std::snprintf(candidate, sizeof candidate, "%s%s", dir.c_str(), name);
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0) {
      std::memcpy(partialPath, candidate, sizeof candidate);
      std::atomic_signal_fence(std::memory_order_seq_cst);
      partialExists[slot] = 1;
    }
    return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes through a FIFO, a device or a descriptor we hold: there is no file
// to replace, and truncating one could destroy what another process keeps.
bool WriteThrough(int fd, const FileWriter& writeBody, std::string* why) {
  const int mode = ::fcntl(fd, F_GETFL);
  if (mode < 0 || (mode & O_ACCMODE) == O_RDONLY) return Fail(why, Reason(EBADF));
  return writeBody(fd) || Fail(why, Reason(errno));
}

// Refuses what the user could not open for writing: a file without any write
// bit (even root), or one the real user has no right to write.
bool MayReplace(const std::string& path, const struct stat& old, std::string* why) {
  if ((old.st_mode & 0222) == 0) return Fail(why, "Read-only file");
  if (::access(path.c_str(), W_OK) != 0) return Fail(why, Reason(errno));
  return true;
}

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


namespace {

void Discard(int& slot);

// A file written completely and waiting for its rename, or written through.
// One never renamed is removed, however its owner ends.
struct StagedFile {
  int slot = -1;  // -1: written through, nothing to rename
  std::string target;
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() { Discard(slot); }
};

// Writes `requestedPath`'s new bytes in full: through a FIFO, a device or a
// descriptor at once, else into a flushed temporary file in `slot`.
bool Stage(const std::string& requestedPath, const FileWriter& writeBody, int slot, StagedFile& staged,
           std::string* why) {
  if (const int fd = InheritedDescriptor(requestedPath); fd >= 0) return WriteThrough(fd, writeBody, why);
  struct stat old {};
  const bool exists = ::stat(requestedPath.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Fail(why, Reason(errno));
  if (exists && S_ISDIR(old.st_mode)) return Fail(why, Reason(EISDIR));
  if (exists && !S_ISREG(old.st_mode)) {
    FileDescriptor special(::open(requestedPath.c_str(), O_WRONLY | O_CLOEXEC));
    if (special.get() < 0) return Fail(why, Reason(errno));
    return WriteThrough(special.get(), writeBody, why) && (special.Close() || Fail(why, Reason(errno)));
  }
  if (exists && !MayReplace(requestedPath, old, why)) return false;

  staged.target = ResolveLinks(requestedPath);
  FileDescriptor temp(CreateTempBeside(staged.target, slot));
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
  if (ok && exists) {
    // The replacement keeps the old file's owner where allowed (only a privileged process may give a
    // file away), then its permissions, which a change of owner may clear.
    (void)!::fchown(temp.get(), old.st_uid, old.st_gid);
    ok = step(::fchmod(temp.get(), old.st_mode & 07777) == 0);
  }
  // On the disk before the rename, so a power cut leaves the old file or the new one, never an empty one.
  ok = ok && step(::fsync(temp.get()) == 0);
  ok = step(temp.Close()) && ok;
  if (!ok) {
    ::unlink(partialPaths[slot]);
    ForgetPartial(slot);
    return Fail(why, Reason(error));
  }
  staged.slot = slot;
  return true;
}

void Discard(int& slot) {
  if (slot < 0) return;
  ::unlink(partialPaths[slot]);
  ForgetPartial(slot);
  slot = -1;
}

bool Commit(StagedFile& staged, std::string* why) {
  if (staged.slot < 0) return true;
  const bool renamed = ::rename(partialPaths[staged.slot], staged.target.c_str()) == 0;
  const int error = errno;
  if (!renamed) ::unlink(partialPaths[staged.slot]);
  ForgetPartial(staged.slot);
  staged.slot = -1;
  if (!renamed) return Fail(why, Reason(error));
  // And the rename itself, recorded in the folder.
  FileDescriptor folder(::open(DirectoryOf(staged.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, const FileWriter& writeBody, std::string* why) {
  return ReplaceFiles({{path, writeBody}}, nullptr, why);
}

bool ReplaceFiles(const std::vector<FileToReplace>& files, std::size_t* failed, std::string* why) {
  assert(files.size() <= MaxFilesReplacedTogether);
  std::array<StagedFile, MaxFilesReplacedTogether> staged;  // each not renamed is removed on the way out
  const auto fail = [&](std::size_t i) {
    if (failed) *failed = i;
    return false;
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!Stage(files[i].path, files[i].writeBody, static_cast<int>(i), staged[i], why)) return fail(i);
  }
  // Only now, with every file whole on the disk, does any replace its target.
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!Commit(staged[i], why)) return fail(i);
  }
  return true;
}

void RemovePartialWrite() {
  for (int slot = 0; slot < MaxFilesReplacedTogether; ++slot) {
    if (partialExists[slot]) ::unlink(partialPaths[slot]);
  }
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
  for (const int s : {SIGINT, SIGTERM, SIGXFSZ}) {
    if (std::signal(s, RemovePartialWriteAndReraise) == SIG_IGN) std::signal(s, SIG_IGN);
  }
}
