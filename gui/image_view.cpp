// The image view: a picture in an optional sunken frame that reports clicks,
// double clicks and the start of a drag with either button.
#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

#include "gui/control_records.h"

namespace {

class KilnImageView : public QFrame {
 public:
  KilnImageView(QWidget* parent, int controlNumber, int windowNumber)
      : QFrame(parent), number(controlNumber), window(windowNumber) {}
  int number;
  int window;
  ImageHandleValue image = 0;
  QString text;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    const QImage picture = ImageForPainting(image);
    if (picture.isNull()) return;
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.drawImage(contentsRect().topLeft(), picture);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      leftPressed = true;
      tracking = true;
      downAt = event->position().toPoint();
    }
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!tracking || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint moved = event->position().toPoint() - downAt;
    const int distance = QApplication::startDragDistance();
    if (std::abs(moved.x()) > distance || std::abs(moved.y()) > distance) {
      tracking = false;
      leftPressed = false;
      QueueEvent(ControlEvent, number, window, DetailDragStart);
    }
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      tracking = false;
      const bool click = leftPressed && !afterLeftDouble && rect().contains(event->position().toPoint());
      leftPressed = false;
      afterLeftDouble = false;
      if (click) RaisePending(ControlEvent, number, window, 0);
    } else if (event->button() == Qt::RightButton) {
      if (afterRightDouble) {
        afterRightDouble = false;
      } else {
        QueueEvent(ControlEvent, number, window, 1);
      }
    }
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      afterLeftDouble = true;
      leftPressed = true;
      QueueEvent(ControlEvent, number, window, 2);
    } else if (event->button() == Qt::RightButton) {
      afterRightDouble = true;
      QueueEvent(ControlEvent, number, window, 3);
    }
  }

 private:
  bool leftPressed = false;
  bool tracking = false;
  bool afterLeftDouble = false;
  bool afterRightDouble = false;
  QPoint downAt;
};

std::intptr_t ImageValue(ControlRecord& record) { return static_cast<std::intptr_t>(record.image); }

void SetImageValue(ControlRecord& record, std::intptr_t value) {
  auto* view = static_cast<KilnImageView*>(record.widget);
  record.image = static_cast<ImageHandleValue>(value);
  view->image = record.image;
  if (record.image != 0) {
    if (const PixelStore* store = ImagePixels(record.image)) {
      const int border = (record.flags & ImageViewBorder) ? 4 : 0;
      view->resize(store->width + border, store->height + border);
    }
  }
  view->repaint();
}

void ReleaseImageView(ControlRecord& record) { record.image = 0; }

std::string ImageText(ControlRecord& record) { return FromQt(static_cast<KilnImageView*>(record.widget)->text); }

void SetImageText(ControlRecord& record, std::string_view text) {
  static_cast<KilnImageView*>(record.widget)->text = ToQt(text);
}

const ControlKind imageViewKind{ImageViewKind, ReleaseImageView, ImageValue, SetImageValue, SetImageText, ImageText};

}  // namespace

GuiHandle AddImageView(int number, int x, int y, int width, int height, ImageHandleValue image, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* view = new KilnImageView(parent, number, window);
  view->setFocusPolicy(Qt::NoFocus);
  if (flags & ImageViewBorder) view->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, imageViewKind, view, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  view->number = record->number;
  SetImageValue(*record, static_cast<std::intptr_t>(image));
  return handle;
}
