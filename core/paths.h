// Path operations for building default file names from the program's own
// location. Both "/" and "\" count as separators, so names typed the other
// platform's way still split where the user meant.
#pragma once

#include <string>
#include <string_view>

// The running program file's full path; empty when the system cannot say.
std::string ProgramFilePath();
// Everything up to and including the last separator; empty for a bare name.
// One leading quotation mark is skipped and the scan stops at the first "|".
std::string DirectoryPart(std::string_view path);
// The name after the last separator (the whole text for a bare name), up to
// the next quotation mark. One leading quotation mark is skipped.
std::string FilePart(std::string_view path);
// `path` with `extension` (".bmp") added when the file's own name holds no
// "." at all; a dot in a folder's name does not count.
std::string WithDefaultExtension(std::string path, std::string_view extension);
