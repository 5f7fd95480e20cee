// The composer's guards that the end-to-end tests do not reach: a sheet too
// narrow to compose with, Save with nothing composed, a failed save; and
// captions set as text.
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
#include "core/tests/run_kilnbatch.h"

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
    Answer(modal, text.isEmpty() ? blocked : folder / "spaces.png");
  });
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  EXPECT_EQ(text, QStringLiteral("Unable to save in specified format.\nIs a folder"));  // the cause below
  EXPECT_EQ(icon, QMessageBox::Critical);
  // Set again for a PNG, a caption of spaces makes nothing, and the box says so.
  SetControlValue(TextBox, 1);
  SetControlText(CaptionField, "  ");
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  EXPECT_EQ(text, QStringLiteral("Unable to save in specified format.\nThe caption is empty or too wide for an image."));
}

// Set as text, the window makes kilnbatch's proportional caption byte for byte: from a
// descriptor's advances, from metrics measured from a sheet, from a packed set of pages
// (text only, found from its descriptor), from a distance field; unticked again, the cells of old,
// keeping a transparent sheet's alpha in a PNG.
TEST_F(ComposerWindowTest, TextIsSetAsKilnbatchSetsItAndUntickedAsBefore) {
  const struct {
    std::string make, made, open, sheet, spacing, out;
  } cases[] = {
      {"--descriptor text", "grid.bmp", "grid.bmp", "grid.bmp", "1", "grid-c.bmp"},
      {"", "plain.bmp", "plain.bmp", "plain.bmp", "-2", "plain-c.bmp"},
      {"--charset windows-1252 --pack --transparent --outline 1 --descriptor text --page-size 128x128", "set.png",
       "set.fnt", "set_0.png", "3", "set-c.png"},
      {"--sdf 4", "field.png", "field.png", "field.png", "1", "field-c.png"},
      {"--transparent", "glass.png", "glass.png", "glass.png", "0", "glass-c.png"},
  };
  const std::string text = "Caf\u00e9 5\u20ac";
  for (const auto& c : cases) {
    ASSERT_EQ(Kilnbatch("sheet " + c.make + " -o " + Quote(folder / c.made), folder).exitCode, 0) << c.make;
    const bool packed = c.open.ends_with(".fnt");
    {
      ModalDriver open([&](QWidget* modal) { Answer(modal, folder / c.open); });
      ASSERT_EQ(StartComposer(), 1) << c.open;
    }
    EXPECT_EQ(ControlText(SheetNameField), c.open + (packed ? " (packed)" : ""));
    EXPECT_EQ(ControlEnabled(TextBox), !packed);
    EXPECT_TRUE(ControlEnabled(LetterSpacingSpin) == packed && ControlEnabled(WidthSpin) == !packed) << c.open;
    SetControlValue(TextBox, 1);
    HandleComposerEvent(ControlEvent, TextBox, 0);
    EXPECT_TRUE(ControlEnabled(LetterSpacingSpin) && !ControlEnabled(HeightSpin)) << c.open;
    SetControlText(LetterSpacingSpin, c.spacing);
    SetControlText(CaptionField, text);
    HandleComposerEvent(ControlEvent, CaptionField, 0);
    for (const bool ticked : {true, false}) {
      if ((packed || c.make == "--sdf 4") && !ticked) break;  // cells of neither make a caption
      const std::string out = (ticked ? "" : "cells-") + c.out;
      SetControlValue(TextBox, ticked ? 1 : 0);
      HandleComposerEvent(ControlEvent, TextBox, 0);
      {
        ModalDriver save([&](QWidget* modal) { Answer(modal, folder / out); });
        HandleComposerEvent(ControlEvent, SaveButton, 0);
      }
      const std::string layout = ticked ? " --layout proportional --letter-spacing " + c.spacing : "";
      const std::string args = "caption --sheet " + Quote(folder / c.sheet) + " --text " + Quote(text) + layout;
      const Outcome ref = Kilnbatch(args + " -o " + Quote(folder / ("ref-" + out)), folder);
      ASSERT_EQ(ref.exitCode, 0) << args << ref.errors;
      EXPECT_EQ(ReadBytes(folder / out), ReadBytes(folder / ("ref-" + out))) << out;
    }
    TearDown();
  }
}

// A set's page that cannot be read is named in the box, and the set is not taken.
TEST_F(ComposerWindowTest, ADescriptorWhosePageCannotBeReadIsRefusedNamingIt) {
  ASSERT_TRUE(MakeImage(9, 100, 100) && WriteImageBmp(9, (folder / "set_0.bmp").c_str()));
  FontDescriptor set;
  set.scaleW = set.scaleH = 100, set.pages = {"set_0.bmp", "set_1.bmp"};
  const std::string text = WriteDescriptor(set, DescriptorFormat::Json);
  WriteBytes(folder / "set.json", std::vector<std::uint8_t>(text.begin(), text.end()));
  QString said;
  ModalDriver each([&](QWidget* modal) {  // the file dialog, then the error box, closed: Cancel
    if (auto* box = qobject_cast<QMessageBox*>(modal)) said = box->text();
    Answer(modal, folder / "set.json");
  });
  EXPECT_EQ(StartComposer(), 0);
  EXPECT_EQ(said.toStdString(), "Unable to load image\n" + std::string(folder / "set_1.bmp"));
}

}  // namespace
