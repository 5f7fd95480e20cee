// The controls of option dialogs: the choice list (a drop-down of fixed items),
// radio buttons in groups, and the group box framing them.
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QPointer>
#include <QRadioButton>

#include "gui/control_records.h"

namespace {

// More items than anyone can choose from in a drop-down.
constexpr int ChoiceItemsMax = 10000;

std::intptr_t ChoiceValue(ControlRecord& record) { return static_cast<QComboBox*>(record.widget)->currentIndex(); }

// An index outside the items leaves none selected.
void SetChoiceValue(ControlRecord& record, std::intptr_t value) {
  auto* list = static_cast<QComboBox*>(record.widget);
  list->setCurrentIndex(value >= 0 && value < list->count() ? static_cast<int>(value) : -1);
  DiscardPending();  // only the user's choices are reported
}

std::string ChoiceText(ControlRecord& record) { return FromQt(static_cast<QComboBox*>(record.widget)->currentText()); }

std::intptr_t RadioValue(ControlRecord& record) {
  return static_cast<QRadioButton*>(record.widget)->isChecked() ? 1 : 0;
}

void SetRadioValue(ControlRecord& record, std::intptr_t value) {
  auto* button = static_cast<QRadioButton*>(record.widget);
  QButtonGroup* group = button->group();
  // An exclusive group keeps its one button checked; the program may clear it.
  if (value == 0 && group != nullptr) group->setExclusive(false);
  button->setChecked(value != 0);
  if (group != nullptr) group->setExclusive(true);
}

std::string GroupBoxTitle(ControlRecord& record) { return FromQt(static_cast<QGroupBox*>(record.widget)->title()); }

void SetGroupBoxTitle(ControlRecord& record, std::string_view text) {
  static_cast<QGroupBox*>(record.widget)->setTitle(ToQt(text));
}

const ControlKind choiceListKind{ChoiceListKind, nullptr, ChoiceValue, SetChoiceValue, nullptr, ChoiceText};
const ControlKind radioButtonKind{RadioButtonKind, nullptr, RadioValue, SetRadioValue, nullptr, nullptr};
const ControlKind groupBoxKind{GroupBoxKind, nullptr, nullptr, nullptr, SetGroupBoxTitle, GroupBoxTitle};

// The group new radio buttons join; owned by its window, so it goes with it.
QPointer<QButtonGroup> openRadioGroup;

}  // namespace

GuiHandle AddChoiceList(int number, int x, int y, int width, int height, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* list = new QComboBox(parent);
  list->setEditable(false);
  list->setFocusPolicy(Qt::StrongFocus);
  list->setMaxVisibleItems(20);
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, choiceListKind, list, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  const int assigned = record->number;
  QObject::connect(list, &QComboBox::currentIndexChanged,
                   [assigned, window] { RaisePending(ControlEvent, assigned, window, 0); });
  return handle;
}

int AddChoiceItem(int number, std::string_view text) {
  ControlRecord* record = FindControlOf(number, choiceListKind);
  if (record == nullptr) return 0;
  auto* list = static_cast<QComboBox*>(record->widget);
  if (list->count() >= ChoiceItemsMax) return 0;
  const bool first = list->count() == 0;
  list->addItem(ToQt(text));
  // A list starts with nothing chosen; the program chooses.
  if (first) list->setCurrentIndex(-1);
  DiscardPending();
  return list->count();
}

GuiHandle AddRadioButton(int number, int x, int y, int width, int height, std::string_view text, int flags) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* button = new QRadioButton(ToQt(text), parent);
  button->setFocusPolicy(Qt::StrongFocus);
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, radioButtonKind, button, window, flags, x, y, width, height, &record);
  if (handle == 0) return 0;
  if ((flags & RadioGroupStart) || openRadioGroup == nullptr || openRadioGroup->parent() != parent) {
    openRadioGroup = new QButtonGroup(parent);
  }
  openRadioGroup->addButton(button);
  const int assigned = record->number;
  QObject::connect(button, &QRadioButton::clicked, [assigned, window] { RaisePending(ControlEvent, assigned, window, 0); });
  return handle;
}

GuiHandle AddGroupBox(int number, int x, int y, int width, int height, std::string_view title) {
  int window = 0;
  QWidget* parent = ControlParent(&window);
  if (parent == nullptr) return 0;
  auto* box = new QGroupBox(ToQt(title), parent);
  box->setFocusPolicy(Qt::NoFocus);
  // Only a frame: the controls inside it are the window's and take the clicks.
  box->setAttribute(Qt::WA_TransparentForMouseEvents);
  ControlRecord* record = nullptr;
  const GuiHandle handle = Register(number, groupBoxKind, box, window, 0, x, y, width, height, &record);
  if (handle != 0) box->lower();
  return handle;
}
