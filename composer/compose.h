// The caption image: one W x H rectangle cut from the sheet per character,
// placed side by side.
#pragma once

#include <string_view>

inline constexpr int SheetImageNumber = 0;
inline constexpr int ButtonImage = 1;
inline constexpr int CellImage = 2;

inline constexpr int MinCellSize = 1;
inline constexpr int ControlCellSizeLimit = 40;

// The sheet's cell pitch P: its width div 10 (0 without a sheet).
int SheetCellPitch();
// The size the composer starts from after a sheet loads: P - 4, and at least
// 1, so that a sheet narrower than 50 pixels still gives sizes in range.
int DefaultCellSize();
// The largest W or H the composer accepts: the larger of 40 and P, so that
// any sheet's default can be used.
int MaxCellSize();

// `caption` (single-byte codes) without the spaces (code 32 only) at its ends.
std::string_view TrimCaption(std::string_view caption);

// Makes the button image of `caption` at W x H from the sheet, at 32 bits
// with alpha (what lies outside the sheet transparent) when `withAlpha`, else
// at 24 bits. Returns 1 when
// it made a new one; 0, with every image as it was, when the trimmed caption
// is empty, W or H is below 1, or the image would be larger than an image can
// be.
int ComposeButtonImage(int w, int h, std::string_view caption, bool withAlpha = false);
