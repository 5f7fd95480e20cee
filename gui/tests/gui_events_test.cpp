// Windows and the event queue.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QPointer>
#include <QScreen>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/paths.h"
#include "gui/tests/gui_test_support.h"

namespace {

constexpr int ToolFlags = 0x00C80001;

class EventQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < 4; ++n) DropWindow(n);
    DrainEvents();
  }
  void TearDown() override {
    for (int n = 0; n < 4; ++n) DropWindow(n);
    DrainEvents();
  }
};

TEST_F(EventQueue, QueuedEventsComeOldestFirstAndEqualNeighboursOnce) {
  QueueEvent(WindowMovedEvent, 0, 0, 0);
  QueueEvent(WindowMovedEvent, 0, 0, 0);  // same as the newest: dropped
  QueueEvent(ControlEvent, 4, 0, 1);
  QueueEvent(ControlEvent, 4, 0, 2);      // differs in the detail: kept
  QueueEvent(WindowMovedEvent, 0, 0, 0);  // equal to an older one only: kept
  const std::vector<SeenEvent> expected = {
      {WindowMovedEvent, 0, 0, 0}, {ControlEvent, 0, 4, 1}, {ControlEvent, 0, 4, 2}, {WindowMovedEvent, 0, 0, 0}};
  EXPECT_EQ(DrainEvents(), expected);
}

TEST_F(EventQueue, PendingEventRaisedOutsideAWaitIsDiscarded) {
  QueueEvent(ControlEvent, 1, 0, 7);
  RaisePending(ControlEvent, 2, 0, 768);
  const std::vector<SeenEvent> expected = {{ControlEvent, 0, 1, 7}};
  EXPECT_EQ(DrainEvents(), expected);
}

TEST_F(EventQueue, LastEventValuesChangeOnlyWhenAWaitReturnsAnEvent) {
  QueueEvent(ControlEvent, 9, 2, 5);
  ASSERT_EQ(PollEvent(0), ControlEvent);
  EXPECT_EQ(EventSourceControl(), 9);
  EXPECT_EQ(EventSourceWindow(), 2);
  EXPECT_EQ(EventDetail(), 5);
  EXPECT_EQ(PollEvent(0), 0);
  EXPECT_EQ(EventSourceControl(), 9);
  EXPECT_EQ(EventSourceWindow(), 2);
  EXPECT_EQ(EventDetail(), 5);
}

TEST_F(EventQueue, TimedWaitWithNothingToDoReturnsZeroAfterItsTime) {
  const QDeadlineTimer least(30);
  EXPECT_EQ(PollEvent(30), 0);
  EXPECT_TRUE(least.hasExpired());
}

TEST_F(EventQueue, PlatformEventWithoutAnEventGivesAnotherCodeAndNoDetail) {
  ASSERT_NE(MakeWindow(1, 10, 10, 100, 80, "w", 0x00C80000), 0);
  DrainEvents();
  QueueEvent(ControlEvent, 6, 1, 3);
  ASSERT_EQ(PollEvent(0), ControlEvent);
  QCoreApplication::postEvent(WindowWidget(1), new QEvent(QEvent::User));
  const int code = PollEvent(1000);
  EXPECT_EQ(code, PlatformEventBase + static_cast<int>(QEvent::User));
  EXPECT_EQ(EventDetail(), -1);
  EXPECT_EQ(EventSourceControl(), 6);
  EXPECT_EQ(EventSourceWindow(), 1);
}

TEST_F(EventQueue, CloseBoxRaisesCloseRequestAndTheWindowStays) {
  ASSERT_NE(MakeWindow(0, 0, 0, 296, 278, "Lumora", ToolFlags), 0);
  DrainEvents();
  QCoreApplication::postEvent(WindowWidget(0), new QCloseEvent);
  ASSERT_EQ(WaitForCode(CloseRequestEvent), CloseRequestEvent);
  EXPECT_EQ(EventSourceWindow(), 0);
  EXPECT_EQ(EventSourceControl(), 0);
  EXPECT_EQ(EventDetail(), 0);
  EXPECT_EQ(WindowIsVisible(0), 1);
}

TEST_F(EventQueue, ClicksHandledInOneWaitAreAllDelivered) {
  ASSERT_NE(MakeWindow(0, 0, 0, 200, 100, "w", ToolFlags), 0);
  ASSERT_NE(AddPushButton(1, 10, 10, 40, 20, "A"), 0);
  ASSERT_NE(AddPushButton(2, 60, 10, 40, 20, "B"), 0);
  DrainEvents();
  PostClick(ControlWidget(1), {5, 5});
  PostClick(ControlWidget(2), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(1, 0));
  EXPECT_EQ(NextControlEvent(), std::pair(2, 0));
}

// --- windows -------------------------------------------------------------------

TEST_F(EventQueue, ToolWindowHasExactInnerSizeCentredWithCloseBoxOnly) {
  ASSERT_NE(MakeWindow(0, 500, 500, 296, 278, "Lumora", ToolFlags), 0);
  QWidget* window = WindowWidget(0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(296, 278));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // no sizing border
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect outer = window->frameGeometry();
  EXPECT_EQ(outer.x(), screen.x() + (screen.width() - outer.width()) / 2);
  EXPECT_EQ(outer.y(), screen.y() + (screen.height() - outer.height()) / 2);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Lumora"));
  EXPECT_EQ(WindowIsVisible(0), 1);
}

TEST_F(EventQueue, PlacedWindowHasItsOuterCornerAtXY) {
  ASSERT_NE(MakeWindow(0, 30, 40, 200, 150, "plaquer", 0x00C80000), 0);
  EXPECT_EQ(WindowWidget(0)->frameGeometry().topLeft(), QPoint(30, 40));
  EXPECT_EQ(WindowWidget(0)->size(), QSize(200, 150));
}

TEST_F(EventQueue, VisibleFlagMakesAHiddenWindow) {
  ASSERT_NE(MakeWindow(2, 0, 0, 50, 50, "", 0x00C80000 | WindowHidden), 0);
  EXPECT_EQ(WindowIsVisible(2), 0);
}

TEST_F(EventQueue, ReusingAWindowNumberClosesTheOldWindowAndItsControls) {
  ASSERT_NE(MakeWindow(0, 0, 0, 100, 100, "first", ToolFlags), 0);
  ASSERT_NE(AddPushButton(3, 0, 0, 40, 20, "x"), 0);
  QPointer<QWidget> first = WindowWidget(0);
  ASSERT_NE(MakeWindow(0, 0, 0, 100, 100, "second", ToolFlags), 0);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(ControlKindOf(3), 0);
  EXPECT_EQ(WindowWidget(0)->windowTitle(), QStringLiteral("second"));
  DropWindow(0);
  EXPECT_EQ(WindowWidget(0), nullptr);
  EXPECT_EQ(AddPushButton(3, 0, 0, 40, 20, "x"), 0);  // no window to hold it
}

TEST_F(EventQueue, MovingAWindowReportsMoved) {
  ASSERT_NE(MakeWindow(1, 10, 10, 100, 80, "w", 0x00C80000), 0);
  DrainEvents();
  WindowWidget(1)->move(50, 60);
  const std::vector<SeenEvent> expected = {{WindowMovedEvent, 1, 1, 0}};
  EXPECT_EQ(DrainEvents(), expected);
}

TEST_F(EventQueue, TabWalksTheTabStopsInCreationOrderAndWraps) {
  ASSERT_NE(MakeWindow(0, 0, 0, 300, 100, "w", ToolFlags), 0);
  AddPushButton(10, 10, 10, 40, 20, "first");
  AddTextLabel(11, 60, 10, 40, 20, "label");
  AddTextField(12, 110, 10, 40, 20, "");
  AddImageView(13, 160, 10, 20, 20, 0, 0);
  AddSpinField(14, 190, 10, 40, 20, 1, 10, SpinNumeric);
  AddCheckBox(15, 240, 10, 40, 20, "last");
  ASSERT_TRUE(ActivateWindow(0));
  const int order[] = {10, 12, 14, 15, 10};
  ControlWidget(10)->setFocus();
  for (std::size_t i = 1; i < std::size(order); ++i) {
    PostKey(QApplication::focusWidget(), Qt::Key_Tab);
    DrainEvents();
    EXPECT_EQ(QApplication::focusWidget(), ControlWidget(order[i])) << "step " << i;
  }
  PostKey(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  DrainEvents();
  EXPECT_EQ(QApplication::focusWidget(), ControlWidget(15));
}

// --- start-up and shutdown --------------------------------------------------------

TEST(DisplayCheck, ProgramWithoutDisplaySaysSoAndExitsWithOne) {
  const std::string program = ProgramFilePath();
  const char* root = std::getenv("KILN_GUI_TEST_ROOT");
  ASSERT_NE(root, nullptr);
  const std::string errors = std::string(root) + "/no-display.err";
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KILN_GUI_NO_DISPLAY_CHILD=1 '" +
                              program + "' 2>'" + errors + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(errors);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("needs a display"), std::string::npos) << text.str();
}

TEST(Shutdown, LeavesNothingOfTheToolkitAliveAndTheToolkitCanStartAgain) {
  ASSERT_NE(MakeWindow(0, 0, 0, 100, 100, "w", ToolFlags), 0);
  ASSERT_NE(AddTextField(1, 0, 0, 40, 20, "x"), 0);
  SetControlTip(1, "tip");
  ASSERT_NE(MakeImage(3, 4, 4), 0u);
  ShutdownGui();
  EXPECT_EQ(QApplication::instance(), nullptr);
  EXPECT_EQ(ControlKindOf(1), 0);
  EXPECT_EQ(ImageHandle(3), 0u);
  EXPECT_EQ(PollEvent(0), 0);
  ASSERT_EQ(StartGui(), 1);
  EXPECT_EQ(WindowWidget(0), nullptr);
  ASSERT_NE(MakeWindow(0, 0, 0, 100, 100, "again", ToolFlags), 0);
  DropWindow(0);
}

}  // namespace
