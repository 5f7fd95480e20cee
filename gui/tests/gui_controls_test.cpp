// The control kinds: values, texts, events, sizes, reuse and tooltips.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstdlib>
#include <string>

#include "raster/draw_surface.h"
#include "gui/tests/gui_test_support.h"

namespace {

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(MakeWindow(0, 0, 0, 400, 300, "controls", 0x00C80001), 0);
    DrainEvents();
  }
  void TearDown() override {
    DropWindow(0);
    DrainEvents();
  }
};

TEST_F(Controls, EachKindReportsItsKindCode) {
  AddPushButton(0, 0, 0, 40, 20, "b");
  AddTextField(1, 0, 30, 40, 20, "f");
  AddTextLabel(2, 0, 60, 40, 20, "l");
  AddCheckBox(3, 0, 90, 40, 20, "c");
  AddImageView(4, 0, 120, 20, 20, 0, 0);
  AddSpinField(5, 0, 150, 40, 20, 1, 10, SpinNumeric);
  const int kinds[] = {PushButtonKind, TextFieldKind, TextLabelKind, CheckBoxKind, ImageViewKind, SpinFieldKind};
  for (int n = 0; n < 6; ++n) EXPECT_EQ(ControlKindOf(n), kinds[n]) << n;
  EXPECT_EQ(ControlKindOf(6), 0);
}

TEST_F(Controls, TextsAreSetAndReadBackAndUnknownNumbersGiveNothing) {
  AddPushButton(0, 0, 0, 40, 20, "Font 1");
  AddTextLabel(1, 0, 30, 150, 20, "", LabelBorder);
  EXPECT_EQ(ControlText(0), "Font 1");
  SetControlText(1, "Arial");
  EXPECT_EQ(ControlText(1), "Arial");
  SetControlText(1, "Grüße");
  EXPECT_EQ(ControlText(1), "Grüße");
  EXPECT_EQ(ControlText(77), "");
  SetControlText(77, "ignored");
  EXPECT_EQ(ControlValue(77), 0);
  const std::string huge(100000, 'x');
  SetControlText(1, huge);
  EXPECT_EQ(ControlText(1).size(), GuiTextMaxBytes);
}

TEST_F(Controls, BordersFollowTheirFlags) {
  AddTextLabel(1, 0, 0, 50, 20, "plain");
  AddTextLabel(2, 0, 30, 50, 20, "sunken", LabelBorder);
  AddTextField(3, 0, 60, 50, 20, "");
  AddTextField(4, 0, 90, 50, 20, "", FieldBorderless);
  EXPECT_EQ(static_cast<QFrame*>(ControlWidget(1))->frameWidth(), 0);
  EXPECT_EQ(static_cast<QFrame*>(ControlWidget(2))->frameWidth(), 2);
  EXPECT_TRUE(static_cast<QLineEdit*>(ControlWidget(3))->hasFrame());
  EXPECT_FALSE(static_cast<QLineEdit*>(ControlWidget(4))->hasFrame());
}

TEST_F(Controls, PushButtonClickRaisesDetailZeroAndItsValueIsZero) {
  AddPushButton(14, 10, 10, 70, 30, "Build");
  PostClick(ControlWidget(14), {10, 10});
  EXPECT_EQ(NextControlEvent(), std::pair(14, 0));
  EXPECT_EQ(EventSourceWindow(), 0);
  EXPECT_EQ(ControlValue(14), 0);
  SetControlValue(14, 1);
  EXPECT_EQ(ControlValue(14), 0);
}

TEST_F(Controls, CheckBoxTicksOnClickAndTakesTheValuesSet) {
  AddCheckBox(6, 10, 40, 40, 20, "Back");
  EXPECT_EQ(ControlValue(6), 0);
  PostClick(ControlWidget(6), {5, 10});
  EXPECT_EQ(NextControlEvent(), std::pair(6, 0));
  EXPECT_EQ(ControlValue(6), 1);
  SetControlValue(6, 0);
  EXPECT_EQ(ControlValue(6), 0);
  SetControlValue(6, -1);  // not three-state: checks
  EXPECT_EQ(ControlValue(6), 1);
  SetControlValue(6, 7);
  EXPECT_EQ(ControlValue(6), 1);
}

TEST_F(Controls, ThreeStateCheckBoxIsMadeIndeterminateOnlyByTheProgram) {
  AddCheckBox(7, 10, 40, 60, 20, "Three", CheckThreeState);
  SetControlValue(7, -1);
  EXPECT_EQ(ControlValue(7), -1);
  PostClick(ControlWidget(7), {5, 10});
  EXPECT_EQ(NextControlEvent(), std::pair(7, 0));
  EXPECT_EQ(ControlValue(7), 1);
  PostClick(ControlWidget(7), {5, 10});
  EXPECT_EQ(NextControlEvent(), std::pair(7, 0));
  EXPECT_EQ(ControlValue(7), 0);
  PostClick(ControlWidget(7), {5, 10});
  EXPECT_EQ(NextControlEvent(), std::pair(7, 0));
  EXPECT_EQ(ControlValue(7), 1);
}

TEST_F(Controls, TextFieldReportsFocusAndChangesAndIgnoresTheProgramsOwnChanges) {
  AddPushButton(0, 10, 10, 40, 20, "other");
  AddTextField(13, 60, 10, 40, 20, "A");
  ASSERT_TRUE(ActivateWindow(0));
  ControlWidget(0)->setFocus();
  DrainEvents();
  SetControlText(13, "B");  // the program's own change: no event
  EXPECT_TRUE(ControlEvents(DrainEvents()).empty());

  QTimer::singleShot(0, [] { ControlWidget(13)->setFocus(); });
  EXPECT_EQ(NextControlEvent(), std::pair(13, FieldFocusNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(13, DetailFocusGained));

  PostKey(ControlWidget(13), Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
  EXPECT_EQ(NextControlEvent(), std::pair(13, FieldChangeNotice));
  EXPECT_EQ(ControlText(13), "Bc");

  QTimer::singleShot(0, [] { ControlWidget(0)->setFocus(); });
  EXPECT_EQ(NextControlEvent(), std::pair(13, FieldBlurNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(13, DetailFocusLost));
}

TEST_F(Controls, ReadOnlyFieldCannotBeEdited) {
  AddTextField(1, 70, 10, 120, 20, "charset.bmp", FieldReadOnly);
  auto* field = static_cast<QLineEdit*>(ControlWidget(1));
  EXPECT_TRUE(field->isReadOnly());
  PostKey(field, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  DrainEvents();
  EXPECT_EQ(ControlText(1), "charset.bmp");
}

// --- spin fields ------------------------------------------------------------------

QWidget* Arrow(int spin, bool up) {
  QWidget* arrows = SpinArrows(spin);
  const QList<QAbstractButton*> buttons = arrows->findChildren<QAbstractButton*>();
  return buttons.at(up ? 0 : 1);
}

TEST_F(Controls, SpinFieldSplitsItsWidthBetweenNumberAndArrows) {
  AddSpinField(2, 220, 10, 40, 20, 8, 40, SpinNumeric);
  EXPECT_EQ(ControlWidget(2)->geometry(), QRect(220, 10, 30, 20));
  EXPECT_EQ(SpinArrows(2)->geometry(), QRect(250, 10, 10, 20));
  EXPECT_EQ(ControlText(2), "");
  auto* field = static_cast<QLineEdit*>(ControlWidget(2));
  EXPECT_TRUE(field->alignment() & Qt::AlignRight);
  EXPECT_EQ(ControlWidget(2)->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  EXPECT_EQ(SpinArrows(2)->focusPolicy(), Qt::NoFocus);
}

TEST_F(Controls, SpinValueIsTheLastValidNumberItsFieldHeld) {
  AddSpinField(2, 0, 0, 40, 20, 1, 40, SpinNumeric);
  SetControlText(2, "45");
  EXPECT_EQ(ControlValue(2), 0);  // nothing valid read yet
  SetControlText(2, "12");
  EXPECT_EQ(ControlValue(2), 12);
  SetControlText(2, "45");
  EXPECT_EQ(ControlValue(2), 12);
  EXPECT_EQ(ControlText(2), "45");
  SetControlText(2, "x7");
  EXPECT_EQ(ControlValue(2), 12);
  AddSpinField(8, 0, 30, 40, 20, -20, 20, SpinNumeric);
  SetControlText(8, "-3");
  EXPECT_EQ(ControlValue(8), -3);
}

TEST_F(Controls, SettingASpinTextRaisesNoEventThatReachesTheProgram) {
  AddSpinField(2, 0, 0, 40, 20, 1, 40, SpinNumeric);
  SetControlText(2, "12");
  EXPECT_EQ(ControlValue(2), 12);
  EXPECT_TRUE(ControlEvents(DrainEvents()).empty());
}

TEST_F(Controls, UpArrowQueuesOneAndWritesTheNextNumber) {
  AddSpinField(17, 170, 40, 40, 20, 1, 10, SpinNumeric);
  SetControlText(17, "5");
  DrainEvents();
  PostClick(Arrow(17, true), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(17, FieldChangeNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(17, 1));
  EXPECT_EQ(ControlText(17), "6");
  EXPECT_EQ(ControlValue(17), 6);
  PostClick(Arrow(17, false), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(17, FieldChangeNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(17, -1));
  EXPECT_EQ(ControlText(17), "5");
}

TEST_F(Controls, ArrowsStopAtTheEndsOfTheRange) {
  AddSpinField(17, 170, 40, 40, 20, 1, 10, SpinNumeric);
  SetControlText(17, "10");
  DrainEvents();
  PostClick(Arrow(17, true), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(17, 1));
  EXPECT_EQ(ControlText(17), "10");
  EXPECT_EQ(ControlValue(17), 10);
  SetControlText(17, "1");
  DrainEvents();
  PostClick(Arrow(17, false), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(17, -1));
  EXPECT_EQ(ControlText(17), "1");
}

TEST_F(Controls, UpAndDownKeysInTheFieldStepLikeTheArrows) {
  AddSpinField(3, 0, 0, 40, 20, 8, 40, SpinNumeric);
  SetControlText(3, "8");
  DrainEvents();
  PostKey(ControlWidget(3), Qt::Key_Up);
  EXPECT_EQ(NextControlEvent(), std::pair(3, FieldChangeNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(3, 1));
  EXPECT_EQ(ControlText(3), "9");
  PostKey(ControlWidget(3), Qt::Key_Down);
  EXPECT_EQ(NextControlEvent(), std::pair(3, FieldChangeNotice));
  EXPECT_EQ(NextControlEvent(), std::pair(3, -1));
  EXPECT_EQ(ControlText(3), "8");
}

TEST_F(Controls, TypingIntoASpinFieldActsAtOnce) {
  AddSpinField(10, 0, 0, 40, 20, 1, 40, SpinNumeric);
  SetControlText(10, "1");
  DrainEvents();
  PostKey(ControlWidget(10), Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
  EXPECT_EQ(NextControlEvent(), std::pair(10, FieldChangeNotice));
  EXPECT_EQ(ControlValue(10), 12);
}

TEST_F(Controls, SpinRangeCanBeWidenedAfterCreation) {
  AddSpinField(10, 0, 0, 40, 20, 1, 40, SpinNumeric);
  SetControlText(10, "44");
  EXPECT_EQ(ControlValue(10), 0);
  SetSpinRange(10, 1, 100);
  EXPECT_EQ(ControlValue(10), 44);
  SetControlValue(10, 500);
  EXPECT_EQ(ControlValue(10), 100);
  EXPECT_EQ(ControlText(10), "100");
}

TEST_F(Controls, DisablingASpinFieldDisablesItsArrows) {
  AddSpinField(10, 0, 0, 40, 20, 1, 40, SpinNumeric);
  ControlWidget(10)->setEnabled(false);
  EXPECT_FALSE(SpinArrows(10)->isEnabled());
  ControlWidget(10)->setEnabled(true);
  EXPECT_TRUE(SpinArrows(10)->isEnabled());
}

// --- image views ------------------------------------------------------------------

class ImageViews : public Controls {
 protected:
  void SetUp() override {
    Controls::SetUp();
    ASSERT_NE(MakeImage(40, 30, 30), 0u);
  }
  void TearDown() override {
    DropImage(40);
    Controls::TearDown();
  }
};

TEST_F(ImageViews, TakeTheImageSizePlusTheirBorderAndKeepItForNoImage) {
  AddImageView(4, 270, 10, 20, 20, ImageHandle(40), ImageViewBorder);
  AddImageView(5, 270, 60, 20, 20, ImageHandle(40), 0);
  EXPECT_EQ(ControlWidget(4)->geometry(), QRect(270, 10, 34, 34));
  EXPECT_EQ(ControlWidget(5)->size(), QSize(30, 30));
  EXPECT_EQ(ControlValue(4), static_cast<std::intptr_t>(ImageHandle(40)));
  SetControlValue(4, 0);
  EXPECT_EQ(ControlWidget(4)->size(), QSize(34, 34));
  EXPECT_EQ(ControlValue(4), 0);
  AddImageView(6, 0, 0, 25, 15, 0, 0);
  EXPECT_EQ(ControlWidget(6)->size(), QSize(25, 15));
}

TEST_F(ImageViews, ShowTheImageAtTheirInnerCornerAndRepaintWhenGivenItAgain) {
  AddImageView(4, 10, 10, 20, 20, ImageHandle(40), ImageViewBorder);
  auto drawColour = [](std::uint32_t colour) {
    ASSERT_NE(BeginDraw(ImageSurface(40)), 0u);
    FillBox(0, 0, 30, 30, colour);
    EndDraw();
  };
  drawColour(0x0000FF);  // red
  int paints = 0;
  struct PaintCounter : QObject {
    int* count;
    explicit PaintCounter(int* c) : count(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*count;
      return false;
    }
  } counter(&paints);
  ControlWidget(4)->installEventFilter(&counter);
  SetControlValue(4, static_cast<std::intptr_t>(ImageHandle(40)));
  EXPECT_GE(paints, 1);
  ControlWidget(4)->removeEventFilter(&counter);
  const QImage shown = ControlWidget(4)->grab().toImage();
  EXPECT_EQ(shown.pixelColor(2, 2), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(31, 31), QColor(255, 0, 0));
  drawColour(0x00FF00);
  SetControlValue(4, static_cast<std::intptr_t>(ImageHandle(40)));
  EXPECT_EQ(ControlWidget(4)->grab().toImage().pixelColor(10, 10), QColor(0, 255, 0));
}

TEST_F(ImageViews, ReportClicksDoubleClicksAndDrags) {
  AddImageView(11, 10, 70, 200, 200, ImageHandle(40), ImageViewBorder);
  QWidget* view = ControlWidget(11);
  PostClick(view, {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(11, 0));
  PostClick(view, {5, 5}, Qt::RightButton);
  EXPECT_EQ(NextControlEvent(), std::pair(11, 1));

  PostClick(view, {5, 5});
  PostMouse(view, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  PostMouse(view, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(NextControlEvent(), std::pair(11, 0));
  EXPECT_EQ(NextControlEvent(), std::pair(11, 2));
  EXPECT_TRUE(ControlEvents(DrainEvents()).empty());

  PostClick(view, {5, 5}, Qt::RightButton);
  PostMouse(view, QEvent::MouseButtonDblClick, {5, 5}, Qt::RightButton, Qt::RightButton);
  PostMouse(view, QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(NextControlEvent(), std::pair(11, 1));
  EXPECT_EQ(NextControlEvent(), std::pair(11, 3));
  EXPECT_TRUE(ControlEvents(DrainEvents()).empty());

  const int far = QApplication::startDragDistance() + 5;
  PostMouse(view, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  PostMouse(view, QEvent::MouseMove, {5 + far, 5}, Qt::NoButton, Qt::LeftButton);
  PostMouse(view, QEvent::MouseButtonRelease, {5 + far, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(NextControlEvent(), std::pair(11, DetailDragStart));
  EXPECT_TRUE(ControlEvents(DrainEvents()).empty());
}

// --- reuse and tooltips -----------------------------------------------------------

TEST_F(Controls, ReusingANumberDestroysTheFirstControl) {
  AddPushButton(5, 0, 0, 40, 20, "first");
  QPointer<QWidget> first = ControlWidget(5);
  AddPushButton(5, 50, 0, 40, 20, "second");
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(ControlText(5), "second");
  PostClick(ControlWidget(5), {5, 5});
  EXPECT_EQ(NextControlEvent(), std::pair(5, 0));
}

TEST_F(Controls, AutoNumberedControlsAnswerToTheirNumber) {
  const GuiHandle number = AddTextField(AutoNumber, 0, 0, 40, 20, "auto");
  ASSERT_LT(number, -1);
  EXPECT_EQ(ControlText(static_cast<int>(number)), "auto");
  PostKey(ControlWidget(static_cast<int>(number)), Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  EXPECT_EQ(NextControlEvent(), std::pair(static_cast<int>(number), FieldChangeNotice));
}

TEST_F(Controls, TheLatestTooltipWins) {
  AddSpinField(2, 0, 0, 40, 20, 8, 40, SpinNumeric);
  SetControlTip(2, "Font Size");
  SetControlTip(2, "Size of Shadow");
  EXPECT_EQ(ControlWidget(2)->toolTip(), QStringLiteral("Size of Shadow"));
}

// The demonstration: window 0 with one control of each kind, saved as a
// picture beside the tests for a look.
TEST_F(Controls, DemonstrationWindowHoldsOneControlOfEachKind) {
  ASSERT_NE(MakeWindow(0, 0, 0, 296, 278, "Lumora", 0x00C80001), 0);
  ASSERT_NE(MakeImage(41, 20, 20), 0u);
  ASSERT_NE(BeginDraw(ImageSurface(41)), 0u);
  FillBox(0, 0, 30, 30, 0xFFFFFF);
  EndDraw();
  EXPECT_NE(AddPushButton(0, 10, 10, 40, 20, "Font 1"), 0);
  EXPECT_NE(AddTextLabel(1, 60, 10, 150, 20, "Arial", LabelBorder), 0);
  EXPECT_NE(AddSpinField(2, 220, 10, 40, 20, 8, 40, SpinNumeric), 0);
  EXPECT_NE(AddImageView(4, 270, 10, 20, 20, ImageHandle(41), ImageViewBorder), 0);
  EXPECT_NE(AddCheckBox(6, 10, 40, 40, 20, "Back"), 0);
  EXPECT_NE(AddTextLabel(7, 60, 45, 10, 10, "X"), 0);
  EXPECT_NE(AddTextField(13, 260, 70, 30, 20, "A"), 0);
  SetControlText(2, "8");
  for (int n : {0, 1, 2, 6, 13}) SetControlTip(n, "tip");
  EXPECT_EQ(ControlText(2), "8");
  EXPECT_EQ(ControlValue(2), 8);
  EXPECT_EQ(ControlWidget(4)->size(), QSize(24, 24));
  // The small controls hold their texts uncut.
  auto* back = static_cast<QCheckBox*>(ControlWidget(6));
  QStyleOptionButton option;
  option.initFrom(back);
  option.text = back->text();
  const QRect textArea = back->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, back);
  EXPECT_GE(textArea.width(), back->fontMetrics().horizontalAdvance(back->text()));
  EXPECT_LE(ControlWidget(0)->fontMetrics().height(), 20);
  EXPECT_LE(ControlWidget(7)->fontMetrics().height(), 14);
  DrainEvents();
  if (const char* root = std::getenv("KILN_GUI_TEST_ROOT")) {
    WindowWidget(0)->grab().save(QString::fromUtf8(root) + QStringLiteral("/demonstration.png"));
  }
  DropImage(41);
}

}  // namespace
