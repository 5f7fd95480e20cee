// Safe replacement of a file: every image writer writes through it.
#pragma once

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

// Files that belong together (an image and its descriptors) are each written
// completely before any of them is renamed over its target; when one cannot be
// written, none is replaced. (A rename that fails after others succeeded,
// which takes a file system fault, leaves those replaced.) Up to this many.
inline constexpr int MaxFilesReplacedTogether = 8;
struct FileToReplace {
  std::string path;
  FileWriter writeBody;
};
// As ReplaceFile for each, with `*failed` (when given) the index of the file
// `*why` is about.
bool ReplaceFiles(const std::vector<FileToReplace>& files, std::size_t* failed, std::string* why);

// Writes every byte or fails; short writes are retried, a failed one is final.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);

// Removes the temporary files of a write in progress, if any. Async-signal-safe;
// the library installs no handler: each program's main does.
void RemovePartialWrite();
// A signal handler: removes that file, then raises `signal` again with its
// default action.
void RemovePartialWriteAndReraise(int signal);
// Installs that handler for SIGINT, SIGTERM and SIGXFSZ, leaving a signal the
// process was started with ignored as it is. For each program's main.
void RemovePartialWriteOnSignals();
