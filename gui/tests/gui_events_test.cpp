// The event queue, the close box, the spin field and image view rules, and
// the no-display exit.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "core/paths.h"
#include "gui/tests/gui_test_support.h"

namespace {

constexpr int ToolFlags = 0x00C80001;

class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(MakeWindow(0, 0, 0, 400, 300, "w", ToolFlags), 0);
    DrainEvents();
  }
  void TearDown() override {
    for (int n = 0; n < 2; ++n) DropWindow(n);
    DrainEvents();
  }
};

// Runs `run` on each event it receives: one top-level dispatch of a wait.
struct Dispatch : QObject {
  std::function<void()> run;
  bool event(QEvent*) override { return run(), true; }
};

TEST_F(Events, EachDispatchGivesOneEventAndLaterOnesQueueInOrder) {
  Dispatch dispatches[3];
  dispatches[0].run = [] {
    RaisePending(ControlEvent, 1, 0, 1);
    RaisePending(ControlEvent, 1, 0, 2);  // the last pending wins
  };
  dispatches[1].run = [] {
    QueueEvent(ControlEvent, 3, 0, 0);
    RaisePending(ControlEvent, 2, 0, 0);  // ahead of what its own dispatch queued
  };
  dispatches[2].run = [] {
    RaisePending(ControlEvent, 4, 0, 0);
    QueueEvent(ControlEvent, 4, 0, 5);
    QueueEvent(ControlEvent, 4, 0, 5);  // equal to the newest: once
  };
  for (Dispatch& d : dispatches) QCoreApplication::postEvent(&d, new QEvent(QEvent::User));
  ASSERT_EQ(PollEvent(1000), ControlEvent);
  EXPECT_EQ(std::pair(EventSourceControl(), EventDetail()), std::pair(1, 2));
  EXPECT_EQ(DrainEvents(), (std::vector<std::pair<int, int>>{{2, 0}, {3, 0}, {4, 0}, {4, 5}}));
  RaisePending(ControlEvent, 9, 0, 9);  // outside a wait: dropped
  EXPECT_TRUE(DrainEvents().empty());
}

TEST_F(Events, CloseBoxRaisesCloseRequestAndTheWindowStays) {
  ASSERT_NE(MakeWindow(1, 0, 0, 100, 80, "w", ToolFlags), 0);
  WindowWidget(1)->close();  // what the close box ends in
  ASSERT_TRUE(WaitForCode(CloseRequestEvent));
  EXPECT_EQ(EventSourceWindow(), 1);
  EXPECT_EQ(WindowIsVisible(1), 1);
}

TEST_F(Events, SpinArrowsAndKeysStepWithinTheRangeAndReportTheirDirection) {
  // minimum, maximum, start, delta, by key (else arrow), after: each way in and direction once; the ends stop
  // the step, which is still reported; up moves toward the maximum.
  const std::tuple<int, int, const char*, int, bool, const char*> cases[] = {
      {1, 10, "5", -1, false, "4"}, {8, 40, "8", 1, true, "9"},   {1, 10, "10", 1, false, "10"},
      {1, 10, "1", -1, true, "1"},  {10, 1, "5", 1, false, "4"}};
  for (const auto& [minimum, maximum, start, delta, key, after] : cases) {
    AddSpinField(17, 170, 40, 40, 20, minimum, maximum, SpinNumeric);
    SetControlText(17, start);
    DrainEvents();
    if (key) {
      const int pressed = delta > 0 ? Qt::Key_Up : Qt::Key_Down;
      QCoreApplication::postEvent(ControlWidget(17), new QKeyEvent(QEvent::KeyPress, pressed, Qt::NoModifier));
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
}

TEST_F(Events, SpinValueIsTheLastValidNumberAndIsClampedWhenSet) {
  AddSpinField(2, 0, 0, 40, 20, 1, 40, SpinNumeric);
  AddTextField(3, 0, 30, 40, 20, "");
  for (const char* text : {"12", "x7", "45"}) {  // the last beyond the range
    SetControlText(2, text);
    EXPECT_EQ(ControlValue(2), 12) << text;
  }
  SetSpinRange(2, 1, 100);
  EXPECT_EQ(ControlValue(2), 45);
  SetControlValue(2, 500);
  EXPECT_EQ(ControlText(2), "100");
  // The program's own text changes reach no wait.
  SetControlText(3, "typed by the program");
  EXPECT_TRUE(DrainEvents().empty());
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

TEST(DisplayCheck, ProgramWithoutDisplaySaysSoAndExitsWithOne) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KILN_GUI_NO_DISPLAY_CHILD=1 '" +
                              ProgramFilePath() + "' 2>&1; echo \"exit $?\"";
  FILE* child = ::popen(command.c_str(), "r");
  ASSERT_NE(child, nullptr);
  std::string text;
  for (char buffer[256]; std::fgets(buffer, sizeof buffer, child) != nullptr;) text += buffer;
  ::pclose(child);
  EXPECT_NE(text.find("needs a display"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("exit 1\n")) << text;
}

}  // namespace
