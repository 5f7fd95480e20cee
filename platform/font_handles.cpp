#include "platform/font_handles.h"

#include <memory>
#include <unordered_map>

namespace {

struct Fonts {
  std::unordered_map<FontHandleValue, std::unique_ptr<PlatformFont>> open;
  std::unique_ptr<PlatformFont> system;
  bool systemTried = false;
  FontHandleValue lastHandle = 0;
};

Fonts& AllFonts() {
  static Fonts fonts;
  return fonts;
}

}  // namespace

FontHandleValue OpenFontHandle(std::string_view faceName, int emPixels, FontFlags flags) {
  std::unique_ptr<PlatformFont> font = OpenPlatformFont(faceName, emPixels, flags);
  if (!font) return 0;
  Fonts& fonts = AllFonts();
  const FontHandleValue handle = ++fonts.lastHandle;
  fonts.open.emplace(handle, std::move(font));
  return handle;
}

void CloseFontHandle(FontHandleValue handle) { AllFonts().open.erase(handle); }

const PlatformFont* FontOfHandle(FontHandleValue handle) {
  auto& open = AllFonts().open;
  auto it = open.find(handle);
  return it == open.end() ? nullptr : it->second.get();
}

const PlatformFont* SystemFont() {
  Fonts& fonts = AllFonts();
  if (!fonts.systemTried) {
    fonts.systemTried = true;
    fonts.system = OpenSystemFont();
  }
  return fonts.system.get();
}

void CloseAllFontHandles() {
  Fonts& fonts = AllFonts();
  fonts.open.clear();
  fonts.system.reset();
  fonts.systemTried = false;
}
