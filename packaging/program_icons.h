// The window programs' own icons, compiled in, so that their windows show
// them without an installed icon theme.
#pragma once

#include "raster/image.h"

enum ProgramIconName { GlyphkilnIcon, PlaquerIcon };

inline constexpr int ProgramIconSide = 48;

// The icon as a 32-bit pixel store with alpha (straight, not premultiplied).
PixelStore ProgramIconPixels(ProgramIconName icon);

// Makes the icon the one of every window from now on. Call after StartGui;
// the image it passes through is dropped again, so no image number stays used.
void ShowProgramIcon(ProgramIconName icon);
