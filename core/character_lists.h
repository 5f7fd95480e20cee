// The characters a sheet is asked for: code-point ranges on the command line,
// or every distinct character of a text file. Both give them distinct, in
// code-point order, without the control characters (C0, DEL, C1) and
// surrogates, which no sheet can draw.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t MaxSheetCharacters = 65536;
inline constexpr std::size_t MaxCharactersFileBytes = 16u * 1024 * 1024;

// "32-126,0xA0-0xFF,U+0400-U+044F": items parted by commas, each a code point
// or a range FIRST-LAST, in decimal, "0x" hex or "U+" hex. Nothing, with
// `*why` set, when it is malformed, names no drawable character or more than
// MaxSheetCharacters of them.
std::optional<std::u32string> ParseCharacterRanges(std::string_view ranges, std::string* why);

// The characters of the UTF-8 text file at `path` (a leading byte-order mark
// is none of them). Nothing, with `*why` set, when it cannot be read, is
// larger than MaxCharactersFileBytes, is not UTF-8, or holds no drawable
// character.
std::optional<std::u32string> ReadCharactersFile(const char* path, std::string* why);

// " U+00E9 U+20AC": each code point of `characters`, for the programs' reports.
std::string CodePointNames(std::u32string_view characters);
