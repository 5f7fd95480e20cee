// The font dialog, built from Qt widgets over our own font list, with a
// sample drawn by our own rasteriser so it shows what the sheet will show.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/font_handles.h"
#include "raster/draw_surface.h"
#include "core/fonts.h"
#include "gui/gui_internal.h"

namespace {

// What the last AskFont left, read by the Chosen* getters.
struct FontChoice {
  std::string face;
  int weight = 0;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int sizeTenths = 0;
  int colour = 0;
};

FontChoice chosen;

constexpr int MinSizeTenths = 10;
constexpr int MaxSizeTenths = 4000;
constexpr int SampleWidth = 260;
constexpr int SampleHeight = 64;
constexpr int FaceRows = 8;

struct NamedColour {
  const char* name;
  int colour;
};

constexpr NamedColour FontColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080}, {"Green", 0x008000},   {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080}, {"Teal", 0x808000},    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},    {"Lime", 0x00FF00},    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},   {"White", 0xFFFFFF},
};

// WCAG relative luminance of a 0x00BBGGRR colour, from linearised sRGB channels.
double RelativeLuminance(std::uint32_t colour) {
  auto linear = [](std::uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour) + 0.7152 * linear(colour >> 8) + 0.0722 * linear(colour >> 16);
}

// Black or white, whichever sets a sample in `colour` off more, so that no
// choice of colour (white included) vanishes into the dialog's own grey.
std::uint32_t ContrastBackground(std::uint32_t colour) {
  const double l = RelativeLuminance(colour);
  return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? 0x000000 : 0xFFFFFF;
}

int RoundedPixels(long long numerator, long long denominator) {
  return static_cast<int>((numerator + denominator / 2) / denominator);
}

// "10", "10.5" or "10,5": a size in tenths of a point, 0 when not one.
int ParseSizeTenths(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty() || trimmed.size() > 8) return 0;
  int whole = 0;
  int tenths = 0;
  int decimals = -1;
  for (const QChar c : trimmed) {
    if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
      if (decimals >= 0) return 0;
      decimals = 0;
    } else if (c.isDigit() && c.unicode() < 128) {
      const int digit = c.unicode() - '0';
      if (decimals < 0) {
        whole = whole * 10 + digit;
      } else if (++decimals == 1) {
        tenths = digit;
      } else if (digit != 0) {
        return 0;
      }
    } else {
      return 0;
    }
  }
  const int size = whole * 10 + tenths;
  return size >= MinSizeTenths && size <= MaxSizeTenths ? size : 0;
}

QImage DrawSample(const QString& face, int sizeTenths, int style, int colour, int background) {
  const int number = static_cast<int>(MakeImage(AutoNumber, SampleWidth, SampleHeight));
  if (number == 0) return {};
  QImage result;
  if (DrawState* state = ImageSurface(number); state != nullptr && BeginDraw(state) != 0) {
    FillBox(0, 0, SampleWidth, SampleHeight, static_cast<std::uint32_t>(background));
    const int em = std::clamp(RoundedPixels(static_cast<long long>(sizeTenths) * FontResolution(), 720), 1,
                              FontMaxEmPixels);
    const FontHandleValue font = sizeTenths > 0 ? OpenFontHandle(CutFaceName(FromQt(face)), em, FontFlagsOf(style)) : 0;
    if (font != 0) {
      SetDrawFont(font);
      SetDrawMode(DrawModeTransparent);
      const std::string_view text = "AaBbYyZz";
      const int x = std::max(2, (SampleWidth - MeasureTextWidth(text)) / 2);
      const int y = std::max(2, (SampleHeight - MeasureTextHeight(text)) / 2);
      PaintText(x, y, text, static_cast<std::uint32_t>(colour));
    }
    EndDraw();
    if (font != 0) CloseFontHandle(font);
    result = ImageForPainting(ImageHandle(number));
  }
  DropImage(number);
  return result;
}

// The dialog's widgets that the steps below read and connect.
struct FontDialogParts {
  QLineEdit* filter = nullptr;
  QListWidget* faces = nullptr;
  QComboBox* sizes = nullptr;
  QCheckBox* bold = nullptr;
  QCheckBox* italic = nullptr;
  QCheckBox* underline = nullptr;  // these three with effects only
  QCheckBox* strikeOut = nullptr;
  QComboBox* colours = nullptr;
  QLabel* sample = nullptr;
  QPushButton* ok = nullptr;
};

// What the getters give when the dialog is cancelled: the caller's own font.
void StartChoice(std::string_view faceName, int colour, int styleBits) {
  chosen = FontChoice{};
  chosen.face = std::string(CutFaceName(faceName));
  chosen.weight = (styleBits & FontBold) ? 700 : 0;
  chosen.italic = (styleBits & FontItalic) != 0;
  chosen.underline = (styleBits & FontUnderline) != 0;
  chosen.strikeOut = (styleBits & FontStrikeOut) != 0;
  chosen.colour = colour == -1 ? 0 : (colour & 0xFFFFFF);
}

void AddFaceList(QDialog& dialog, QGridLayout& grid, FontDialogParts& parts) {
  parts.filter = new QLineEdit(&dialog);  // made first: it takes the focus, so typing narrows the list
  parts.filter->setObjectName(QStringLiteral("filter"));
  parts.filter->setClearButtonEnabled(true);
  QListWidget* faces = parts.faces = new QListWidget(&dialog);
  faces->setObjectName(QStringLiteral("faces"));
  faces->setUniformItemSizes(true);
  faces->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // a bar would cut the last row
  QStringList families;
  for (const std::string& family : ListFontFamilies()) families.push_back(ToQt(family));
  const QString wanted = ToQt(chosen.face);
  if (!wanted.isEmpty() && !families.contains(wanted, Qt::CaseInsensitive)) families.prepend(wanted);
  faces->addItems(families);
  for (int i = 0; i < faces->count(); ++i) {
    if (faces->item(i)->text().compare(wanted, Qt::CaseInsensitive) == 0) faces->setCurrentRow(i);
  }
  grid.addWidget(new QLabel(QStringLiteral("Font:"), &dialog), 0, 0);
  // Whole rows only: the frame plus a whole number of items.
  const int rowHeight = faces->count() > 0 ? faces->sizeHintForRow(0) : faces->fontMetrics().height();
  faces->setFixedHeight(FaceRows * rowHeight + 2 * faces->frameWidth());
  grid.addWidget(parts.filter, 1, 0);
  grid.addWidget(faces, 2, 0, 3, 1);
}

void AddSizeAndStyle(QDialog& dialog, QGridLayout& grid, int points, bool effects, FontDialogParts& parts) {
  parts.sizes = new QComboBox(&dialog);
  parts.sizes->setObjectName(QStringLiteral("size"));
  parts.sizes->setEditable(true);
  for (const int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72}) {
    parts.sizes->addItem(QString::number(size));
  }
  parts.sizes->setEditText(points > 0 ? QString::number(points) : QString());
  grid.addWidget(new QLabel(QStringLiteral("Size:"), &dialog), 0, 1);
  grid.addWidget(parts.sizes, 1, 1);

  auto makeBox = [&](const char* name, const char* label, bool on, int row) {
    auto* box = new QCheckBox(QString::fromLatin1(label), &dialog);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    grid.addWidget(box, row, 1);
    return box;
  };
  parts.bold = makeBox("bold", "&Bold", chosen.weight == 700, 2);
  parts.italic = makeBox("italic", "&Italic", chosen.italic, 3);
  if (effects) {
    parts.underline = makeBox("underline", "&Underline", chosen.underline, 4);
    parts.strikeOut = makeBox("strikeout", "Stri&keout", chosen.strikeOut, 5);
  }
}

// The named colours, and "Custom" for the caller's colour when it has no name.
void AddColourList(QDialog& dialog, QGridLayout& grid, FontDialogParts& parts) {
  QComboBox* colours = parts.colours = new QComboBox(&dialog);
  colours->setObjectName(QStringLiteral("colour"));
  bool known = false;
  for (const NamedColour& named : FontColours) {
    colours->addItem(QString::fromLatin1(named.name), named.colour);
    if (named.colour == chosen.colour) {
      colours->setCurrentIndex(colours->count() - 1);
      known = true;
    }
  }
  if (!known) {
    colours->addItem(QStringLiteral("Custom"), chosen.colour);
    colours->setCurrentIndex(colours->count() - 1);
  }
  grid.addWidget(new QLabel(QStringLiteral("Colour:"), &dialog), 5, 0);
  grid.addWidget(colours, 6, 0);
}

void AddSampleAndButtons(QDialog& dialog, QGridLayout& grid, FontDialogParts& parts) {
  parts.sample = new QLabel(&dialog);
  parts.sample->setObjectName(QStringLiteral("sample"));
  parts.sample->setFixedSize(SampleWidth, SampleHeight);
  grid.addWidget(parts.sample, 7, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  grid.addWidget(buttons, 8, 0, 1, 2);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  parts.ok = buttons->button(QDialogButtonBox::Ok);
}

int StyleShown(const FontDialogParts& parts) {
  int style = 0;
  if (parts.bold->isChecked()) style |= FontBold;
  if (parts.italic->isChecked()) style |= FontItalic;
  if (parts.underline != nullptr && parts.underline->isChecked()) style |= FontUnderline;
  if (parts.strikeOut != nullptr && parts.strikeOut->isChecked()) style |= FontStrikeOut;
  return style;
}

int ColourShown(const FontDialogParts& parts) {
  return parts.colours != nullptr ? parts.colours->currentData().toInt() : chosen.colour;
}

// OK only with a face and a valid size.
void ShowSample(const FontDialogParts& parts) {
  const int tenths = ParseSizeTenths(parts.sizes->currentText());
  QListWidgetItem* item = parts.faces->currentItem();
  parts.ok->setEnabled(tenths != 0 && item != nullptr);
  const int colour = ColourShown(parts);
  const QImage picture = item != nullptr ? DrawSample(item->text(), tenths, StyleShown(parts), colour,
                                                      static_cast<int>(ContrastBackground(colour)))
                                         : QImage();
  parts.sample->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
}

// Faces containing the text, in any case; the current face stays while it
// shows, else the first shown one takes its place (none: OK is off).
void FilterFaces(QListWidget* faces, const QString& text) {
  QListWidgetItem* first = nullptr;
  for (int i = 0; i < faces->count(); ++i) {
    QListWidgetItem* item = faces->item(i);
    item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    if (first == nullptr && !item->isHidden()) first = item;
  }
  QListWidgetItem* current = faces->currentItem();
  if (current == nullptr || current->isHidden()) faces->setCurrentItem(first);
  if (faces->currentItem() != nullptr) faces->scrollToItem(faces->currentItem());
}

// The sample and OK follow every change; the filter narrows the faces.
void FollowChanges(const FontDialogParts& parts) {
  auto refresh = [parts] { ShowSample(parts); };
  QObject::connect(parts.faces, &QListWidget::currentRowChanged, refresh);
  QObject::connect(parts.filter, &QLineEdit::textChanged,
                   [faces = parts.faces](const QString& text) { FilterFaces(faces, text); });
  QObject::connect(parts.sizes, &QComboBox::editTextChanged, refresh);
  for (QCheckBox* box : {parts.bold, parts.italic, parts.underline, parts.strikeOut}) {
    if (box != nullptr) QObject::connect(box, &QCheckBox::toggled, refresh);
  }
  if (parts.colours != nullptr) QObject::connect(parts.colours, &QComboBox::currentIndexChanged, refresh);
}

// What an accepted dialog shows, for the getters; false when it shows no font.
bool TakeChoice(const FontDialogParts& parts) {
  const int tenths = ParseSizeTenths(parts.sizes->currentText());
  QListWidgetItem* item = parts.faces->currentItem();
  if (tenths == 0 || item == nullptr) return false;
  chosen.face = std::string(CutFaceName(FromQt(item->text())));
  chosen.sizeTenths = tenths;
  chosen.weight = parts.bold->isChecked() ? 700 : 400;
  chosen.italic = parts.italic->isChecked();
  chosen.underline = parts.underline != nullptr && parts.underline->isChecked();
  chosen.strikeOut = parts.strikeOut != nullptr && parts.strikeOut->isChecked();
  chosen.colour = ColourShown(parts);
  return true;
}

}  // namespace

int AskFont(std::string_view faceName, int points, int dialogFlags, int colour, int styleBits) {
  StartChoice(faceName, colour, styleBits);
  if (QApplication::instance() == nullptr) return 0;
  QDialog dialog(DialogOwner());
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowTitle(QStringLiteral("Font"));
  dialog.setObjectName(QStringLiteral("kilnFontDialog"));
  auto* grid = new QGridLayout(&dialog);
  const bool effects = (dialogFlags & FontDialogEffects) != 0;
  FontDialogParts parts;
  AddFaceList(dialog, *grid, parts);
  AddSizeAndStyle(dialog, *grid, points, effects, parts);
  if (effects) AddColourList(dialog, *grid, parts);
  AddSampleAndButtons(dialog, *grid, parts);
  FollowChanges(parts);
  ShowSample(parts);
  return dialog.exec() == QDialog::Accepted && TakeChoice(parts) ? 1 : 0;
}

std::string ChosenFontName() { return chosen.face; }
int ChosenFontSize() { return chosen.sizeTenths / 10; }
int ChosenFontColour() { return chosen.colour; }
int ChosenFontStyle() {
  int style = chosen.weight == 700 ? FontBold : 0;
  if (chosen.italic) style |= FontItalic;
  if (chosen.underline) style |= FontUnderline;
  if (chosen.strikeOut) style |= FontStrikeOut;
  return style;
}
