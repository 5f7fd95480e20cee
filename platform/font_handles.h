// Font handles: opaque non-zero values that name open fonts, the way the
// drawing code and the font objects pass fonts around.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/font_source.h"

using FontHandleValue = std::uintptr_t;

// Opens a font (see OpenPlatformFont); 0 on failure. Handles are serial
// numbers, never reused, so a stale one names nothing.
FontHandleValue OpenFontHandle(std::string_view faceName, int emPixels, FontFlags flags);
void CloseFontHandle(FontHandleValue handle);
// The font a handle names, or null.
const PlatformFont* FontOfHandle(FontHandleValue handle);
// The stand-in for the platform's stock system font, opened on first use and
// kept until CloseAllFontHandles; null when no face can be had.
const PlatformFont* SystemFont();
void CloseAllFontHandles();
