// Reading a whole input file the user names, never more than a limit.
#pragma once

#include <cstddef>
#include <string>

// The bytes of the file at `path` into `out`. False, with `*why` saying why,
// when it cannot be opened or read, is not a regular file, or holds more than
// `maxBytes` (found by reading one byte past the limit, whatever size the
// file claims).
bool ReadBoundedFile(const char* path, std::size_t maxBytes, std::string& out, std::string* why);
