// Control texts are UTF-8; the sheet and the fonts speak single-byte
// Windows-1252 codes.
#pragma once

#include <string>
#include <string_view>

// Each UTF-8 character as its Windows-1252 byte; a character with none, and
// each byte of a malformed sequence, becomes "?".
std::string Utf8ToWindows1252(std::string_view utf8);
