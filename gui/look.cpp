// How the controls look: the style, the control font and the stand-in icon
// shown until a program sets its own.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>

#include <memory>

#include "gui/gui_internal.h"

namespace {

std::unique_ptr<QFont> controlFont;

// The built-in Windows style with the original platform's narrow gap
// between a check box and its text, so that a 40-pixel box holds "Back".
class KilnStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) return 3;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

void DrawDefaultIcon() {
  QImage icon(32, 32, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.fillRect(4, 4, 24, 24, QColor(40, 40, 40));
  painter.fillRect(10, 8, 4, 16, QColor(255, 200, 60));
  painter.fillRect(14, 14, 8, 4, QColor(255, 200, 60));
  painter.end();
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
}

}  // namespace

void ApplyLook() {
  // The built-in Windows style fits the small controls (40 x 20 check boxes,
  // 10-pixel labels) that other styles pad out of their boxes.
  if (QStyle* windows = QStyleFactory::create(QStringLiteral("Windows"))) {
    QApplication::setStyle(new KilnStyle(windows));  // the application owns its style
  }
  // The stand-in for the original default GUI font: a sans face at 8 points,
  // 11 pixels high at 96 pixels per inch.
  controlFont = std::make_unique<QFont>(QStringLiteral("Liberation Sans"));
  controlFont->setStyleHint(QFont::SansSerif);
  controlFont->setPixelSize(11);
  QApplication::setFont(*controlFont);
  DrawDefaultIcon();
}

void DropLook() { controlFont.reset(); }

const QFont& ControlFont() {
  assert(controlFont && "the look is applied by StartGui");
  return *controlFont;
}
