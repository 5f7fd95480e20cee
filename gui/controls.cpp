// The control table, the calls every kind answers, and the plain kinds: push
// button, check box and text label. Each kind is a table of operations; a
// control is a record in the control table and a Qt widget owned by its window.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cassert>

#include "gui/control_records.h"

namespace {

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

std::uintptr_t nextControlHandle = 1;

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

std::string WidgetText(ControlRecord& record) {
  if (auto* button = dynamic_cast<QAbstractButton*>(record.widget)) return FromQt(button->text());
  if (auto* label = dynamic_cast<QLabel*>(record.widget)) return FromQt(label->text());
  if (auto* field = dynamic_cast<QLineEdit*>(record.widget)) return FromQt(field->text());
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

const ControlKind pushButtonKind{PushButtonKind, nullptr, ButtonValue, SetButtonValue, nullptr, nullptr};
const ControlKind textLabelKind{TextLabelKind, nullptr, nullptr, nullptr, nullptr, nullptr};
const ControlKind checkBoxKind{CheckBoxKind, nullptr, CheckValue, SetCheckValue, nullptr, nullptr};

// A dropped window's controls, before its widgets go.
void ReleaseControlsOf(int window) {
  for (const int number : Controls().Numbers()) {
    ControlRecord* record = Controls().Find(number);
    if (record != nullptr && record->window == window) DestroyControl(number);
  }
}

}  // namespace

ObjectTable<ControlRecord>& Controls() {
  static ObjectTable<ControlRecord> controls(50, 50, DestroyControl);
  return controls;
}

ControlRecord* FindControlOf(int number, const ControlKind& kind) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr && record->kind == &kind ? record : nullptr;
}

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
  return record->kind->getText ? record->kind->getText(*record) : WidgetText(*record);
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

void EnableControl(int number, bool enabled) {
  ControlRecord* record = Controls().Find(number);
  if (record != nullptr) record->widget->setEnabled(enabled);
}

int ControlEnabled(int number) {
  ControlRecord* record = Controls().Find(number);
  return record != nullptr && record->widget->isEnabled() ? 1 : 0;
}
