// Our texts and pixels as Qt's, and back.
#include <cstring>

#include "core/text_codes.h"
#include "gui/gui_internal.h"

QString ToQt(std::string_view text) {
  text = Utf8Prefix(text, GuiTextMaxBytes);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(Utf8Prefix(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), GuiTextMaxBytes));
}

QImage ImageForPainting(ImageHandleValue handle) {
  const PixelStore* store = handle != 0 ? ImagePixels(handle) : nullptr;
  if (store == nullptr || store->width <= 0 || store->height <= 0) return {};
  const bool alpha = store->bitsPerPixel == 32;
  QImage image(store->width, store->height, alpha ? QImage::Format_ARGB32 : QImage::Format_BGR888);
  if (image.isNull()) return {};
  const std::size_t rowBytes = static_cast<std::size_t>(store->width) * (alpha ? 4 : 3);
  for (int y = 0; y < store->height; ++y) std::memcpy(image.scanLine(y), store->Pixel(0, y), rowBytes);
  return image;
}

