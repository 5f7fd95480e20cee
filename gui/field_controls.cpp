// The text field and the spin field: one line field each, the spin field with
// a pair of arrows beside it that step a number within its range.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <charconv>

#include "gui/control_records.h"

namespace {

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

const ControlKind textFieldKind{TextFieldKind, nullptr, nullptr, nullptr, nullptr, nullptr};
const ControlKind spinFieldKind{SpinFieldKind, nullptr, SpinValue, SetSpinValue, SetSpinText, nullptr};

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

}  // namespace

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
  field->number = record->number;
  QObject::connect(field, &QLineEdit::textChanged,
                   [field] { RaisePending(ControlEvent, field->number, field->window, FieldChangeNotice); });
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
  field->number = record->number;
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
  ControlRecord* record = FindControlOf(number, spinFieldKind);
  if (record == nullptr) return;
  record->minimum = minimum;
  record->maximum = maximum;
}

QWidget* SpinArrows(int number) {
  ControlRecord* record = FindControlOf(number, spinFieldKind);
  return record != nullptr ? record->arrows : nullptr;
}

