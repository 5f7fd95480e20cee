// The renderer's settings: one record for the whole run, kept in memory only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/font_source.h"

// A colour running down the line, from `top` at its top to `bottom` at its bottom.
struct LineGradient {
  bool on = false;
  std::uint32_t top = 0, bottom = 0;

  bool operator==(const LineGradient&) const = default;
};

// What a sheet draws around its faces besides the layered shadow; the
// defaults draw nothing more.
struct SheetEffects {
  int outlineWidth = 0;  // pixels, 0 (none) to FontMaxStrokePixels
  std::uint32_t outlineColour = 0;
  StrokeJoin outlineJoin = StrokeJoin::Round;
  LineGradient faceGradient;     // instead of the text colour
  LineGradient outlineGradient;  // instead of the outline colour
  int shadowBlur = 0;            // pixels, 0 to MaxShadowBlur: the Gaussian's sigma is half of it

  bool operator==(const SheetEffects&) const = default;
};

struct RendererSettings {
  std::string fontName = "Arial";
  int fontSize = 8;    // points, face font
  int shadowSize = 8;  // points, shadow font
  int styleBits = 0;   // FontBold, FontItalic, FontUnderline, FontStrikeOut
  std::uint32_t textColour = 0x00FFFFFF;
  std::uint32_t shadowColour = 0;
  std::uint32_t backgroundColour = 0;
  int shadowOffsetX = 0;  // pixels, -20..20
  int shadowOffsetY = 0;
  SheetEffects effects;
  int cellMeasure = 0;  // written by every RefreshPreview
  std::string lastTestChar;
};

extern RendererSettings rendererSettings;

// The numbered objects the renderer draws with.
inline constexpr int FaceFont = 1;
inline constexpr int ShadowFont = 2;
inline constexpr int TextSwatchImage = 0;
inline constexpr int ShadowSwatchImage = 1;
inline constexpr int PreviewImage = 2;
inline constexpr int SheetImage = 3;

inline constexpr int PreviewSide = 200;
inline constexpr int PreviewOrigin = 30;  // the face's top-left in the preview

// Ranges the window's controls allow; sizes up to 400 points come from the
// font dialog.
inline constexpr int MinFontSize = 1;
inline constexpr int MaxFontSize = 400;
inline constexpr int MaxShadowOffset = 20;
inline constexpr int MinShadowCount = 1;
inline constexpr int MaxShadowCount = 10;
inline constexpr int MaxOutlineWidth = FontMaxStrokePixels;
inline constexpr int MaxShadowBlur = 32;
