#include "composer/compose.h"

#include <algorithm>

#include "core/sheet_format.h"

#include "raster/draw_surface.h"
#include "raster/image.h"

int SheetCellPitch() { return CellPitchOfSheet(ImagePixelWidth(SheetImageNumber)); }

int DefaultCellSize() { return std::max(MinCellSize, SheetCellPitch() - SheetFaceInset); }

int MaxCellSize() { return std::max(ControlCellSizeLimit, SheetCellPitch()); }

std::string_view TrimCaption(std::string_view caption) {
  const std::size_t first = caption.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return caption.substr(first, caption.find_last_not_of(' ') - first + 1);
}

int ComposeButtonImage(int w, int h, std::string_view caption, bool withAlpha) {
  const int p = SheetCellPitch();
  const std::string_view text = TrimCaption(caption);
  const long long length = static_cast<long long>(text.size());
  // Checked before the old button image is released, so the preview never
  // points at an image that is gone.
  if (length == 0 || w < MinCellSize || h < MinCellSize || h > ImageMaxSide || length * w > ImageMaxSide) return 0;
  if (!MakeImageWithDepth(ButtonImage, static_cast<int>(length * w), h, withAlpha ? 32 | ImageClearAlpha : 24)) return 0;
  if (!BeginDraw(ImageSurface(ButtonImage))) return 1;  // all black, as made

  for (std::size_t i = 0; i < text.size(); ++i) {
    const SheetCell cell = SheetCellOf(static_cast<unsigned char>(text[i]));
    // A cell that cannot be copied (no sheet) stays black rather than
    // repeating the previous character's cell.
    if (!CopyImageArea(SheetImageNumber, CellImage, cell.column * p + SheetFaceInset, cell.row * p, w, h)) continue;
    PasteImage(ImageHandle(CellImage), static_cast<int>(i) * w, 0);
  }
  EndDraw();
  return 1;
}
