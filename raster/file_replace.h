// Safe replacement of a file: every image writer writes through it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes a whole file's bytes to `fd`; false with errno set when a write failed.
using FileWriter = std::function<bool(int fd)>;

// Writes `path` through `writeBody`. The bytes go to a file beside the target,
// flushed to the disk and renamed over it, so an old file at `path` survives a
// failed write unchanged; a FIFO, a device or a descriptor already open
// ("/dev/stdout", "/dev/fd/N") is written through, never replaced. True when
// the whole file was written, else false with `*why` (when given) saying why.
bool ReplaceFile(const std::string& path, const FileWriter& writeBody, std::string* why);

// Files that belong together (an image and its descriptors, a font's pages) are
// replaced whole or not at all. Each is written completely beside its target
// before any is renamed over it, and a FIFO or a device among them hears of the
// set only then; two names of one file are refused before anything is written.
// Up to this many.
inline constexpr int MaxFilesReplacedTogether = 1024;
struct FileToReplace {
  std::string path;
  FileWriter writeBody;
};
// As ReplaceFile for each, with `*failed` (when given) the index of the file
// `*why` is about. The renames of a set are made under a lock on each target's
// folder, so runs writing the same set commit one after the other; each old file
// is kept under a second name until the last rename, and put back when a rename
// fails or a handled signal comes in between. A lock not had within 10 seconds
// fails the set with nothing renamed. One set at a time in a process.
bool ReplaceFiles(const std::vector<FileToReplace>& files, std::size_t* failed, std::string* why);
// As ReplaceFiles, waiting at most `lockWait` for another run's commit.
bool ReplaceFilesWaiting(const std::vector<FileToReplace>& files, std::chrono::milliseconds lockWait,
                         std::size_t* failed, std::string* why);

// Writes every byte or fails; short writes are retried, a failed one is final.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);

// Removes the temporary files of a write in progress, if any, and puts back the
// old files of a set already partly renamed. Async-signal-safe, for a handler
// that ends the program; the library installs none: each program's main does.
void RemovePartialWrite();
// A signal handler: removes that file, then raises `signal` again with its
// default action.
void RemovePartialWriteAndReraise(int signal);
// Installs that handler for SIGINT and SIGTERM, leaving a signal the process
// was started with ignored as it is, and ignores SIGXFSZ, so that a write past
// a size limit fails with EFBIG. For each program's main.
void RemovePartialWriteOnSignals();
