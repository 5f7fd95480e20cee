// Numbered fonts, made from a face name, a size in points and style bits.
#pragma once

#include <string_view>

#include "platform/font_handles.h"
#include "core/object_table.h"

// Style bits, the one definition every layer above the fonts uses.
inline constexpr int FontUnderline = 4;
inline constexpr int FontStrikeOut = 8;
inline constexpr int FontHighQuality = 0x10;  // accepted; text is always anti-aliased
inline constexpr int FontBold = 0x100;
inline constexpr int FontItalic = 0x200;

// The style bits as the font source's flags.
constexpr FontFlags FontFlagsOf(int styleBits) {
  return {.bold = (styleBits & FontBold) != 0,
          .italic = (styleBits & FontItalic) != 0,
          .underline = (styleBits & FontUnderline) != 0,
          .strikeOut = (styleBits & FontStrikeOut) != 0};
}

// The longest face name a font description holds, in characters.
inline constexpr int FontFaceMaxChars = 31;

// Pixels per inch for turning points into pixels: 96 unless set otherwise,
// on every machine, so that the same settings give the same pixels.
inline constexpr int DefaultFontResolution = 96;
void SetFontResolution(int dpi);
int FontResolution();

// Makes font `number` (AutoNumber allowed), releasing a font already there.
// Returns the font handle (the number for AutoNumber), or 0 with the number
// left free.
FontHandleValue MakeFont(int number, std::string_view faceName, int points, int styleBits);
FontHandleValue FontHandle(int number);
void DropFont(int number);
void ShutdownFonts();

// `face` cut to FontFaceMaxChars characters, never inside a UTF-8 sequence.
std::string_view CutFaceName(std::string_view face);
