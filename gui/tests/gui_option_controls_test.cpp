// The controls of option dialogs: their values, the user's input, disabled
// controls, radio groups, and a modal window holding the input.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>

#include <functional>
#include <tuple>

#include "gui/tests/gui_test_support.h"

namespace {

class OptionControls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(MakeWindow(0, 0, 0, 400, 300, "w", 0x00C80001), 0);  // drops the one an earlier test made
    DrainEvents();
  }
};

// A click near the left of control `number` through the window system, as the
// user's would be (modality is checked there), in the next wait.
void ClickInNextWait(int number) {
  QWidget* control = ControlWidget(number);
  QMetaObject::invokeMethod(qApp, [control] {
    QWidget* window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window, QPoint(6, control->height() / 2)));
  }, Qt::QueuedConnection);
}

TEST_F(OptionControls, UserInputRaisesAnEventAndChangesTheValueOnlyWhenEnabled) {
  ASSERT_NE(AddChoiceList(1, 10, 10, 100, 20), 0);
  for (const char* item : {"a", "b"}) AddChoiceItem(1, item);
  ASSERT_NE(AddRadioButton(2, 10, 40, 100, 20, "r", RadioGroupStart), 0);
  AddCheckBox(3, 10, 70, 100, 20, "c");
  // Made last over the others, the frame must not take their clicks.
  ASSERT_NE(AddGroupBox(4, 0, 0, 200, 100, "g"), 0);
  EXPECT_EQ(std::tuple(ControlKindOf(4), ControlText(4), ControlValue(4)), std::tuple(GroupBoxKind, std::string("g"), 0));
  const auto keyDown = [] {
    QCoreApplication::postEvent(ControlWidget(1), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
  };
  const std::tuple<int, int, std::function<void()>, std::intptr_t, std::intptr_t> cases[] = {
      {1, ChoiceListKind, keyDown, -1, 0},
      {2, RadioButtonKind, [] { ClickInNextWait(2); }, 0, 1},
      {3, CheckBoxKind, [] { ClickInNextWait(3); }, 0, 1},
  };
  for (const auto& [number, kind, input, before, after] : cases) {
    EXPECT_EQ(ControlKindOf(number), kind);
    EnableControl(number, false);
    EXPECT_EQ(ControlEnabled(number), 0);
    input();
    EXPECT_TRUE(DrainEvents().empty()) << number;
    EXPECT_EQ(ControlValue(number), before);
    EnableControl(number, true);
    input();
    EXPECT_EQ(NextControlEvent(), std::pair(number, 0));
    EXPECT_EQ(ControlValue(number), after);
  }
  // The program's choices are not reported; an index beyond the items chooses none.
  EXPECT_EQ(AddChoiceItem(1, "c"), 3);
  EXPECT_EQ(AddChoiceItem(2, "x"), 0);
  SetControlValue(1, 2);
  EXPECT_EQ(std::pair(ControlValue(1), ControlText(1)), std::pair(std::intptr_t{2}, std::string("c")));
  SetControlValue(1, 3);
  EXPECT_EQ(std::pair(ControlValue(1), ControlText(1)), std::pair(std::intptr_t{-1}, std::string()));
  EXPECT_TRUE(DrainEvents().empty());
}

TEST_F(OptionControls, ChoosingARadioButtonClearsOnlyTheOthersOfItsGroup) {
  const char* const names[] = {"a1", "a2", "b1", "b2"};
  for (int i = 0; i < 4; ++i) AddRadioButton(11 + i, 10, 10 + 25 * i, 80, 20, names[i], i % 2 == 0 ? RadioGroupStart : 0);
  const auto values = [] {
    std::vector<std::intptr_t> all;
    for (int number = 11; number <= 14; ++number) all.push_back(ControlValue(number));
    return all;
  };
  SetControlValue(11, 1);
  SetControlValue(14, 1);
  EXPECT_EQ(values(), (std::vector<std::intptr_t>{1, 0, 0, 1}));
  ClickInNextWait(12);
  EXPECT_EQ(NextControlEvent(), std::pair(12, 0));
  EXPECT_EQ(values(), (std::vector<std::intptr_t>{0, 1, 0, 1}));
  SetControlValue(13, 1);
  SetControlValue(12, 0);  // the program may leave a group with none chosen
  EXPECT_EQ(values(), (std::vector<std::intptr_t>{0, 0, 1, 0}));
  // Another window's first radio button starts a group of its own.
  ASSERT_NE(MakeWindow(5, 0, 0, 100, 50, "other", 0x00C80001), 0);
  AddRadioButton(21, 10, 10, 80, 20, "c");
  SetControlValue(21, 1);
  EXPECT_EQ(values(), (std::vector<std::intptr_t>{0, 0, 1, 0}));
  DropWindow(5);
}

TEST_F(OptionControls, ModalWindowTakesAllInputUntilItIsDropped) {
  AddPushButton(31, 10, 10, 60, 20, "main");
  ASSERT_NE(MakeWindow(2, 0, 0, 200, 100, "dialog", WindowModal | WindowCentredOnParent | WindowSystemMenu), 0);
  AddPushButton(32, 10, 10, 60, 20, "ok");
  DrainEvents();
  ClickInNextWait(31);
  EXPECT_TRUE(DrainEvents().empty());
  ClickInNextWait(32);
  EXPECT_EQ(NextControlEvent(), std::pair(32, 0));
  EXPECT_EQ(EventSourceWindow(), 2);
  WindowWidget(2)->close();
  ASSERT_TRUE(WaitForCode(CloseRequestEvent));
  EXPECT_EQ(EventSourceWindow(), 2);
  DropWindow(2);
  ClickInNextWait(31);
  EXPECT_EQ(NextControlEvent(), std::pair(31, 0));
}

}  // namespace
