// The composer's guards that the end-to-end tests do not reach: a sheet too
// narrow to compose with, Save with nothing composed, a failed save, a paged
// sheet.
#include "composer/composer_window.h"

#include <gtest/gtest.h>

#include <QMessageBox>

#include <filesystem>

#include "composer/compose.h"
#include "core/font_descriptor.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/tests/test_files.h"
#include "gui/tests/gui_test_support.h"

namespace {

class ComposerWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DropWindow(ComposerWindow);
    DrainEvents();
    ShutdownImages();
  }
  // Starts on a black square sheet `width` pixels wide, captioned "AB".
  void Start(int width) {
    const std::string sheet = folder / "sheet.bmp";
    MakeImage(9, width, width);
    WriteImageBmp(9, sheet.c_str());
    DropImage(9);
    ModalDriver open([&](QWidget* modal) { Answer(modal, sheet); });
    ASSERT_EQ(StartComposer(), 1);
    SetControlText(CaptionField, "AB");
    Recompose();
  }
  TempFolder folder;
};

// Sizes stay in their range: a sheet under 50 pixels wide starts at 1 x 1 and composes.
TEST_F(ComposerWindowTest, ASheetNarrowerThanFiftyPixelsStartsAtOneAndSaveNeedsAComposition) {
  Start(45);
  EXPECT_EQ(ControlText(WidthSpin), "1");
  EXPECT_EQ(ImagePixelWidth(ButtonImage), 2);
  SetControlText(CaptionField, "");
  DropImage(ButtonImage);  // nothing composed yet, as before the first caption
  ModalDriver unexpected([](QWidget* modal) { modal->close(); }, 300);
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  for (const QDeadlineTimer deadline(400); !deadline.hasExpired();) PollEvent(20);
  EXPECT_FALSE(unexpected.handled);
}

TEST_F(ComposerWindowTest, AFailedSaveIsReported) {
  Start(200);
  ASSERT_NE(ImageExists(ButtonImage), 0);
  const std::string blocked = folder / "blocked";
  std::filesystem::create_directory(blocked + ".bmp");  // a folder where the file would go
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  ModalDriver each([&](QWidget* modal) {  // the file dialog, then the message box once it has gone
    if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text(), icon = box->icon();
    Answer(modal, blocked);
  });
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  EXPECT_EQ(text, QStringLiteral("Unable to save in specified format.\nIs a folder"));  // the cause below
  EXPECT_EQ(icon, QMessageBox::Critical);
}

// A page of a set (its descriptor beside it, found by the set's name) is refused with the hint.
TEST_F(ComposerWindowTest, APagedSheetIsRefused) {
  const std::string page = folder / "set_1.bmp";
  ASSERT_TRUE(MakeImage(9, 100, 100) && WriteImageBmp(9, page.c_str()));
  FontDescriptor set;
  set.scaleW = set.scaleH = 100, set.pages = {"set_0.bmp", "set_1.bmp"};
  const std::string text = WriteDescriptor(set, DescriptorFormat::Json);
  WriteBytes(folder / "set.json", std::vector<std::uint8_t>(text.begin(), text.end()));
  QString said;
  ModalDriver each([&](QWidget* modal) {  // the file dialog, then the error box, closed: Cancel
    if (auto* box = qobject_cast<QMessageBox*>(modal)) said = box->text();
    Answer(modal, page);
  });
  EXPECT_EQ(StartComposer(), 0);
  EXPECT_EQ(said.toStdString(), "This sheet is not a grid of cells: set its caption as text\n(kilnbatch caption --layout proportional)\n" + page);
}

}  // namespace
