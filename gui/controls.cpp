// The six control kinds. Each kind is a table of operations; a control is a
// record in the control table and a Qt widget owned by its window.
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <cassert>
#include <charconv>
#include <cstdlib>

#include "core/object_table.h"
#include "gui/gui_internal.h"

namespace {

struct ControlRecord;

// What differs between the kinds; a null entry takes the common behaviour
// (no release step, value 0, the widget's own text).
struct ControlKind {
  int code;
  void (*release)(ControlRecord&);
  std::intptr_t (*getValue)(ControlRecord&);
  void (*setValue)(ControlRecord&, std::intptr_t);
  void (*setText)(ControlRecord&, std::string_view);
};

struct ControlRecord {
  std::uintptr_t handle = 0;
  const ControlKind* kind = nullptr;
  QWidget* widget = nullptr;  // owned by its window; for a spin field its number field
  QWidget* arrows = nullptr;  // spin field
  int number = 0;
  int window = 0;
  int flags = 0;
  // spin field
  int position = 0;
  int minimum = 0;
  int maximum = 0;
  // image view
  ImageHandleValue image = 0;
};

void DestroyControl(int number);

ObjectTable<ControlRecord>& Controls() {
  static ObjectTable<ControlRecord> controls(50, 50, DestroyControl);
  return controls;
}

std::uintptr_t nextControlHandle = 1;

// --- widgets ---------------------------------------------------------------

class KilnCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;
  bool twoWayToggle = false;

 protected:
  // The three-state form toggles between checked and unchecked on clicks;
  // only the program makes it indeterminate.
  void nextCheckState() override {
    if (!twoWayToggle) {
      QCheckBox::nextCheckState();
      return;
    }
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
};

void SpinStep(int number, int delta);

class KilnField : public QLineEdit {
 public:
  KilnField(QWidget* parent, int controlNumber, int windowNumber, bool spin)
      : QLineEdit(parent), number(controlNumber), window(windowNumber), isSpin(spin) {}
  int number;
  int window;
  bool isSpin;
  QWidget* arrows = nullptr;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    if (!isSpin) QueueEvent(ControlEvent, number, window, DetailFocusGained);
    QLineEdit::focusInEvent(event);
    RaisePending(ControlEvent, number, window, FieldFocusNotice);
  }
  void focusOutEvent(QFocusEvent* event) override {
    if (!isSpin) QueueEvent(ControlEvent, number, window, DetailFocusLost);
    QLineEdit::focusOutEvent(event);
    RaisePending(ControlEvent, number, window, FieldBlurNotice);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (isSpin && event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
      SpinStep(number, event->key() == Qt::Key_Up ? 1 : -1);
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::EnabledChange && arrows != nullptr) arrows->setEnabled(isEnabled());
    QLineEdit::changeEvent(event);
  }
};

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

// --- kind operations -------------------------------------------------------

std::string WidgetText(ControlRecord& record) {
  if (auto* button = dynamic_cast<QAbstractButton*>(record.widget)) return FromQt(button->text());
  if (auto* label = dynamic_cast<QLabel*>(record.widget)) return FromQt(label->text());
  if (auto* field = dynamic_cast<QLineEdit*>(record.widget)) return FromQt(field->text());
  if (auto* view = dynamic_cast<KilnImageView*>(record.widget)) return FromQt(view->text);
  return {};
}

void SetWidgetText(ControlRecord& record, std::string_view text) {
  const QString value = ToQt(text);
  if (auto* button = dynamic_cast<QAbstractButton*>(record.widget)) {
    button->setText(value);
  } else if (auto* label = dynamic_cast<QLabel*>(record.widget)) {
    label->setText(value);
  } else if (auto* field = dynamic_cast<QLineEdit*>(record.widget)) {
    field->setText(value);
  } else if (auto* view = dynamic_cast<KilnImageView*>(record.widget)) {
    view->text = value;
  }
}

std::intptr_t ButtonValue(ControlRecord& record) {
  return static_cast<QAbstractButton*>(record.widget)->isChecked() ? 1 : 0;
}

void SetButtonValue(ControlRecord& record, std::intptr_t value) {
  static_cast<QAbstractButton*>(record.widget)->setChecked(value != 0);
}

std::intptr_t CheckValue(ControlRecord& record) {
  switch (static_cast<QCheckBox*>(record.widget)->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return -1;
    default: return 0;
  }
}

void SetCheckValue(ControlRecord& record, std::intptr_t value) {
  auto* box = static_cast<KilnCheckBox*>(record.widget);
  if (value == -1 && box->twoWayToggle) {
    box->setCheckState(Qt::PartiallyChecked);
  } else {
    box->setCheckState(value != 0 ? Qt::Checked : Qt::Unchecked);
  }
}

// A whole decimal number within the range, as the arrows accept it.
bool ParseSpinNumber(const QString& text, int low, int high, int* out) {
  const std::string bytes = FromQt(text);
  if (bytes.empty() || bytes.size() > 12) return false;
  long long value = 0;
  const char* first = bytes.data();
  const char* last = bytes.data() + bytes.size();
  if (*first == '-' && bytes.size() > 1 && first[1] == '-') return false;
  if (*first == '+') return false;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return false;
  if (value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

void ReadSpinField(ControlRecord& record) {
  if (!(record.flags & SpinNumeric)) return;
  const int low = std::min(record.minimum, record.maximum);
  const int high = std::max(record.minimum, record.maximum);
  int value = 0;
  if (ParseSpinNumber(static_cast<QLineEdit*>(record.widget)->text(), low, high, &value)) record.position = value;
}

void WriteSpinPosition(ControlRecord& record) {
  if (record.flags & SpinNumeric) static_cast<QLineEdit*>(record.widget)->setText(QString::number(record.position));
}

std::intptr_t SpinValue(ControlRecord& record) {
  ReadSpinField(record);
  return record.position;
}

void SetSpinValue(ControlRecord& record, std::intptr_t value) {
  const long long low = std::min(record.minimum, record.maximum);
  const long long high = std::max(record.minimum, record.maximum);
  record.position = static_cast<int>(std::clamp(static_cast<long long>(value), low, high));
  WriteSpinPosition(record);
}

void SetSpinText(ControlRecord& record, std::string_view text) {
  static_cast<QLineEdit*>(record.widget)->setText(ToQt(text));
  // What the change set off runs now and cannot reach the program; user
  // input is left for the next wait, so no user action is lost here.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  DiscardPending();
}

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

const ControlKind pushButtonKind{PushButtonKind, nullptr, ButtonValue, SetButtonValue, nullptr};
const ControlKind textFieldKind{TextFieldKind, nullptr, nullptr, nullptr, nullptr};
const ControlKind textLabelKind{TextLabelKind, nullptr, nullptr, nullptr, nullptr};
const ControlKind checkBoxKind{CheckBoxKind, nullptr, CheckValue, SetCheckValue, nullptr};
const ControlKind imageViewKind{ImageViewKind, ReleaseImageView, ImageValue, SetImageValue, nullptr};
const ControlKind spinFieldKind{SpinFieldKind, nullptr, SpinValue, SetSpinValue, SetSpinText};

void DestroyControl(int number) {
  ControlRecord* record = Controls().Find(number);
  if (record == nullptr) return;
  if (record->kind->release) record->kind->release(*record);
  QWidget* widget = record->widget;
  QWidget* arrows = record->arrows;
  Controls().Release(number);
  delete arrows;
  delete widget;
}

void SpinStep(int number, int delta) {
  ControlRecord* record = Controls().Find(number);
  if (record == nullptr) return;
  QueueEvent(ControlEvent, number, record->window, delta);
  ReadSpinField(*record);
  const long long low = std::min(record->minimum, record->maximum);
  const long long high = std::max(record->minimum, record->maximum);
  // Up moves toward the maximum, also when the range is given high to low.
  const long long step = record->maximum >= record->minimum ? delta : -delta;
  record->position = static_cast<int>(std::clamp(static_cast<long long>(record->position) + step, low, high));
  WriteSpinPosition(*record);
}

// A dropped window's controls, before its widgets go.
void ReleaseControlsOf(int window) {
  for (const int number : Controls().Numbers()) {
    ControlRecord* record = Controls().Find(number);
    if (record != nullptr && record->window == window) DestroyControl(number);
  }
}

// Creation common to every kind: the slot is taken only once the widget
// exists, so a failure leaves the table as it was.
GuiHandle Register(int number, const ControlKind& kind, QWidget* widget, int window, int flags, int x, int y,
                   int width, int height, ControlRecord** out) {
  assert(widget != nullptr && "each kind makes its widget before registering it");
  SetWindowPartsRelease(ReleaseControlsOf);
  int assigned = 0;
  ControlRecord* record = Controls().Take(number, &assigned);
  if (record == nullptr) {
    delete widget;
    return 0;
  }
  record->handle = nextControlHandle++;
  record->kind = &kind;
  record->widget = widget;
  record->number = assigned;
  record->window = window;
  record->flags = flags;
  widget->setProperty("kilnControl", assigned);
  widget->setFont(ControlFont());
  widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
  widget->show();
  *out = record;
  return number == AutoNumber ? assigned : static_cast<GuiHandle>(record->handle);
}

// Until the slot is taken, a widget made for AutoNumber does not know its
// number; these set it afterwards.
template <class Widget>
void Renumber(Widget* widget, int number) {
  widget->number = number;
}

}  // namespace

GuiHandle AddPushButton(int number, int x, int y, int width, int height, std::string_view text, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* button = new QPushButton(ToQt(text), parent);
  button->setAutoDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, pushButtonKind, button, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  const int assigned = record->number;
  QObject::connect(button, &QPushButton::clicked, [assigned, window] { RaisePending(ControlEvent, assigned, window, 0); });
  return handle;
}

GuiHandle AddCheckBox(int number, int x, int y, int width, int height, std::string_view text, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* box = new KilnCheckBox(ToQt(text), parent);
  box->setFocusPolicy(Qt::StrongFocus);
  if ((flags & CheckThreeState) == CheckThreeState) {
    box->twoWayToggle = true;
    box->setTristate(true);
  }
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, checkBoxKind, box, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  const int assigned = record->number;
  QObject::connect(box, &QCheckBox::clicked, [assigned, window] { RaisePending(ControlEvent, assigned, window, 0); });
  return handle;
}

GuiHandle AddTextLabel(int number, int x, int y, int width, int height, std::string_view text, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setIndent(0);
  label->setMargin(0);
  label->setFocusPolicy(Qt::NoFocus);
  Qt::Alignment horizontal = Qt::AlignLeft;
  if ((flags & 3) == LabelCentred) horizontal = Qt::AlignHCenter;
  if ((flags & 3) == LabelRight) horizontal = Qt::AlignRight;
  label->setAlignment(horizontal | Qt::AlignTop);
  if (flags & LabelBorder) label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  label->setText(ToQt(text));
  ControlRecord* record = nullptr;
  return Register(number, textLabelKind, label, window, flags, x, y, width, height, &record);
}

GuiHandle AddTextField(int number, int x, int y, int width, int height, std::string_view text, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* field = new KilnField(parent, number, window, false);
  field->setFocusPolicy(Qt::StrongFocus);
  field->setFrame(!(flags & FieldBorderless));
  field->setReadOnly((flags & FieldReadOnly) != 0);
  if (flags & FieldPassword) field->setEchoMode(QLineEdit::Password);
  if ((flags & 3) == FieldCentred) field->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  if ((flags & 3) == FieldRight) field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  field->setText(ToQt(text));
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, textFieldKind, field, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  Renumber(field, record->number);
  QObject::connect(field, &QLineEdit::textChanged,
                   [field] { RaisePending(ControlEvent, field->number, field->window, FieldChangeNotice); });
  return handle;
}

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
  Renumber(view, record->number);
  SetImageValue(*record, static_cast<std::intptr_t>(image));
  return handle;
}

GuiHandle AddSpinField(int number, int x, int y, int width, int height, int minimum, int maximum, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* field = new KilnField(parent, number, window, true);
  field->setFocusPolicy(Qt::StrongFocus);
  field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  field->setReadOnly((flags & SpinReadOnly) != 0);
  const int arrowWidth = std::max(0, height) / 2;
  ControlRecord* record = nullptr;
  const GuiHandle handle =
      Register(number, spinFieldKind, field, window, flags, x, y, width - arrowWidth, height, &record);
  if (handle == 0) return 0;
  Renumber(field, record->number);
  record->minimum = minimum;
  record->maximum = maximum;

  auto* arrows = new QWidget(parent);
  arrows->setFocusPolicy(Qt::NoFocus);
  arrows->setGeometry(x + width - arrowWidth, y, arrowWidth, std::max(0, height));
  const int upHeight = std::max(0, height) / 2;
  const int assigned = record->number;
  for (const int delta : {1, -1}) {
    auto* arrow = new QToolButton(arrows);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
    arrow->setAutoRepeat(true);
    arrow->setGeometry(0, delta > 0 ? 0 : upHeight, arrowWidth, delta > 0 ? upHeight : std::max(0, height) - upHeight);
    QObject::connect(arrow, &QToolButton::pressed, [assigned, delta] { SpinStep(assigned, delta); });
  }
  arrows->show();
  record->arrows = arrows;
  field->arrows = arrows;
  QObject::connect(field, &QLineEdit::textChanged,
                   [field] { RaisePending(ControlEvent, field->number, field->window, FieldChangeNotice); });
  return handle;
}

void SetSpinRange(int number, int minimum, int maximum) {
  ControlRecord* record = Controls().Find(number);
  if (record == nullptr || record->kind != &spinFieldKind) return;
  record->minimum = minimum;
  record->maximum = maximum;
}

void SetControlText(int number, std::string_view text) {
  ControlRecord* record = Controls().Find(number);
  if (record == nullptr) return;
  if (record->kind->setText) {
    record->kind->setText(*record, text);
  } else {
    SetWidgetText(*record, text);
  }
}

std::string ControlText(int number) {
  ControlRecord* record = Controls().Find(number);
  if (record == nullptr) return {};
  return WidgetText(*record);
}

void SetControlValue(int number, std::intptr_t value) {
  ControlRecord* record = Controls().Find(number);
  if (record != nullptr && record->kind->setValue) record->kind->setValue(*record, value);
}

std::intptr_t ControlValue(int number) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr && record->kind->getValue ? record->kind->getValue(*record) : 0;
}

void SetControlTip(int number, std::string_view text) {
  ControlRecord* record = Controls().Find(number);
  if (record != nullptr) record->widget->setToolTip(ToQt(text));
}

int ControlKindOf(int number) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr ? record->kind->code : 0;
}

std::vector<int> ControlNumbers() { return Controls().Numbers(); }

QWidget* ControlWidget(int number) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr ? record->widget : nullptr;
}

QWidget* SpinArrows(int number) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr ? record->arrows : nullptr;
}
