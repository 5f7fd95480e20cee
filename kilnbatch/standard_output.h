// Telling standard output among the files a command writes.
#pragma once

#include <string>

// Whether `path` names the file standard output writes to, by device and
// inode, whatever the name: "/dev/stdout", "/dev/fd/1", or a redirected
// file's own name. A report then goes to standard error instead, where it
// cannot mix with the file's bytes.
bool IsStandardOutput(const std::string& path);
