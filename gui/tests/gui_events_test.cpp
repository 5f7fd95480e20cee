// The event queue, the windows' events and controls, and the spin field and
// image view rules.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>

#include <map>
#include <string>
#include <tuple>

#include "gui/tests/gui_test_support.h"

namespace {

constexpr int ToolFlags = 0x00C80001;

class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(MakeWindow(0, 0, 0, 400, 300, "w", ToolFlags), 0);  // drops the one an earlier test made
    DrainEvents();
  }
};

TEST_F(Events, EachDispatchGivesOneEventAndLaterOnesQueueInOrder) {
  const std::function<void()> dispatches[] = {
      [] {
        RaisePending(ControlEvent, 1, 0, 1);
        RaisePending(ControlEvent, 1, 0, 2);  // the last pending wins
      },
      [] {
        QueueEvent(ControlEvent, 3, 0, 0);
        RaisePending(ControlEvent, 2, 0, 0);  // ahead of what its own dispatch queued
      },
      [] {
        RaisePending(ControlEvent, 4, 0, 0);
        QueueEvent(ControlEvent, 4, 0, 5);
        QueueEvent(ControlEvent, 4, 0, 5);  // equal to the newest: once
      }};
  for (const auto& run : dispatches) QMetaObject::invokeMethod(qApp, run, Qt::QueuedConnection);
  ASSERT_EQ(PollEvent(1000), ControlEvent);
  EXPECT_EQ(std::pair(EventSourceControl(), EventDetail()), std::pair(1, 2));
  EXPECT_EQ(DrainEvents(), (std::vector<std::pair<int, int>>{{2, 0}, {3, 0}, {4, 0}, {4, 5}}));
}

TEST_F(Events, WindowsNameTheirEventsAskBeforeClosingAndTakeTheirControlsAlong) {
  ASSERT_NE(MakeWindow(1, 0, 0, 100, 80, "w", ToolFlags), 0);
  AddPushButton(5, 0, 0, 40, 20, "b");
  DrainEvents();
  for (const int window : {1, 0}) {  // an event that no handler turns into one of ours
    QCoreApplication::postEvent(WindowWidget(window), new QEvent(QEvent::User));
    ASSERT_TRUE(WaitForCode(PlatformEventBase + QEvent::User));
    EXPECT_EQ(EventSourceWindow(), window);
  }
  WindowWidget(1)->close();  // what the close box ends in
  ASSERT_TRUE(WaitForCode(CloseRequestEvent));
  EXPECT_EQ(EventSourceWindow(), 1);
  EXPECT_EQ(WindowIsVisible(1), 1);
  DropWindow(1);
  EXPECT_EQ(ControlKindOf(5), 0);
}

TEST_F(Events, SpinFieldStepsWithinItsRangeAndItsValueIsTheLastValidNumberClamped) {
  // minimum, maximum, start, delta, key (0: the arrow), after: each way in and direction once; the ends stop
  // the step, which is still reported; up moves toward the maximum.
  const std::tuple<int, int, const char*, int, int, const char*> cases[] = {
      {1, 10, "5", -1, 0, "4"},           {8, 40, "8", 1, Qt::Key_Up, "9"}, {1, 10, "10", 1, 0, "10"},
      {1, 10, "1", -1, Qt::Key_Down, "1"}, {10, 1, "5", 1, 0, "4"}};
  for (const auto& [minimum, maximum, start, delta, key, after] : cases) {
    AddSpinField(17, 170, 40, 40, 20, minimum, maximum, SpinNumeric);
    SetControlText(17, start);
    DrainEvents();
    if (key != 0) {
      QCoreApplication::postEvent(ControlWidget(17), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    } else {
      QWidget* arrow = SpinArrows(17)->findChildren<QAbstractButton*>().at(delta > 0 ? 0 : 1);
      PostMouse(arrow, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
      PostMouse(arrow, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
    }
    // A change of text is noticed first, in the same dispatch.
    EXPECT_TRUE(std::string(start) == after || NextControlEvent() == std::pair(17, FieldChangeNotice)) << start;
    EXPECT_EQ(NextControlEvent(), std::pair(17, delta)) << start;
    EXPECT_EQ(ControlText(17), after);
    EXPECT_EQ(ControlValue(17), std::stoi(after));
  }
  // The value is the last valid number; what the program sets is clamped.
  SetSpinRange(17, 1, 40);
  for (const char* text : {"12", "x7", "45"}) {  // the last beyond the range
    SetControlText(17, text);
    EXPECT_EQ(ControlValue(17), 12) << text;
  }
  EXPECT_TRUE(DrainEvents().empty());  // the program's own text changes reach no wait
  SetSpinRange(17, 1, 100);
  EXPECT_EQ(ControlValue(17), 45);
  SetControlValue(17, 500);
  EXPECT_EQ(ControlText(17), "100");
}

TEST_F(Events, ImageViewTakesTheImageSizeAndReportsClicksDoubleClicksAndDrags) {
  ASSERT_NE(MakeImage(40, 30, 30), 0u);
  AddImageView(4, 10, 10, 200, 200, 0, ImageViewBorder);
  QWidget* view = ControlWidget(4);
  EXPECT_EQ(view->size(), QSize(200, 200));  // no image: the size given
  SetControlValue(4, ImageHandle(40));
  EXPECT_EQ(view->geometry(), QRect(10, 10, 34, 34));  // the image and its border
  SetControlValue(4, 0);
  EXPECT_EQ(view->size(), QSize(34, 34));  // kept without one
  DropImage(40);
  // p press, r release, d double click, m move beyond the drag distance.
  const std::map<char, QEvent::Type> types = {{'p', QEvent::MouseButtonPress}, {'r', QEvent::MouseButtonRelease},
                                              {'d', QEvent::MouseButtonDblClick}, {'m', QEvent::MouseMove}};
  const std::tuple<Qt::MouseButton, std::string, std::vector<int>> cases[] = {
      {Qt::LeftButton, "pr", {0}},         {Qt::RightButton, "pr", {1}},
      {Qt::LeftButton, "prdr", {0, 2}},    {Qt::RightButton, "prdr", {1, 3}},
      {Qt::LeftButton, "pmr", {DetailDragStart}},
  };
  for (const auto& [button, steps, details] : cases) {
    int x = 5;
    for (const char step : steps) {
      if (step == 'm') x += 1 + QApplication::startDragDistance();
      PostMouse(view, types.at(step), {x, 5}, step == 'm' ? Qt::NoButton : button, step == 'r' ? Qt::NoButton : button);
    }
    for (const int detail : details) EXPECT_EQ(NextControlEvent(), std::pair(4, detail));
    EXPECT_TRUE(DrainEvents().empty()) << details.back();
  }
}

}  // namespace
