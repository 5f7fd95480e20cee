// Text codes: control texts are UTF-8; the sheet and the drawing surface speak
// single-byte Windows-1252; the fonts take Unicode code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Each UTF-8 character as its Windows-1252 byte; a character with none, and
// each byte of a malformed sequence, becomes "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// The code points of a UTF-8 text, into `out`; false at the first malformed
// sequence, with `*badAt` (when given) its byte offset.
bool DecodeUtf8(std::string_view utf8, std::u32string& out, std::size_t* badAt = nullptr);
// The UTF-8 character at `at` into `out`; returns its length, 0 when it is
// malformed (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8Character(std::string_view s, std::size_t at, char32_t& out);
// The Windows-1252 byte of a code point; -1 when the code page has none.
int Windows1252ByteOf(char32_t c);

// The code point of a Windows-1252 byte; 0 for the five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), which fonts draw as their
// missing-glyph box.
char32_t Windows1252ToUnicode(std::uint8_t code);
// Every byte of `codes` as its code point, into `out` (reused by callers that
// draw often, so no allocation after the first).
void Windows1252ToUnicode(std::string_view codes, std::u32string& out);

// Whether a byte continues a UTF-8 sequence rather than starting a character.
constexpr bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }
// The longest prefix of `text` of at most `maxBytes` that ends on a character
// boundary.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);
// The first and the last character of a non-empty text (whole sequences, or
// single stray bytes).
std::string_view FirstUtf8Character(std::string_view text);
std::string_view LastUtf8Character(std::string_view text);
