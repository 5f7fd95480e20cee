// Where a program offers to save its files first.
#pragma once

#include <string>
#include <string_view>

// The folder of `programPath` (with its trailing separator) when a new file
// may be made in it; otherwise the user's home folder, as an installed
// program's folder (/usr/bin) is not the user's to write in. Empty when
// neither is known.
std::string DefaultSaveFolder(std::string_view programPath);
