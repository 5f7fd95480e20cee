// The renderer's handlers that open dialogs, on Qt's offscreen platform.
#include "renderer/renderer_window.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

#include "raster/image.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"
#include "gui/tests/gui_test_support.h"

namespace {

class RendererWindowTest : public ::testing::Test {
 protected:
  RendererWindowTest() {
    rendererSettings = RendererSettings{};
    started = StartRenderer();
  }
  ~RendererWindowTest() override {
    DropWindow(RendererWindow);
    DrainEvents();
    ShutdownImages();
    ShutdownFonts();
  }
  std::vector<std::uint8_t> Pixels(int image) { return ImagePixels(ImageHandle(image))->bytes; }
  int started = 0;
};

TEST_F(RendererWindowTest, StartsWithTheDefaultsInItsControls) {
  ASSERT_EQ(started, 1);
  EXPECT_EQ(ControlText(FontNameLabel), "Arial");
  EXPECT_EQ(ControlText(FontSizeSpin), "8");
  EXPECT_EQ(ControlText(ShadowSizeSpin), "8");
  EXPECT_EQ(ControlText(OffsetXSpin), "0");
  EXPECT_EQ(ControlText(OffsetYSpin), "0");
  EXPECT_EQ(ControlText(CountSpin), "1");
  EXPECT_EQ(ControlText(TestField), "A");
  EXPECT_EQ(ControlValue(PreviewView), static_cast<std::intptr_t>(ImageHandle(PreviewImage)));
  for (std::size_t i = 0; i < Pixels(TextSwatchImage).size(); ++i) {
    ASSERT_EQ(Pixels(TextSwatchImage)[i], 0xFF) << i;  // white; 20 pixels fill each 60-byte row
  }
}

TEST_F(RendererWindowTest, AFontOfSeventyTwoPointsFromTheDialogShowsInTheSizeField) {
  ModalDriver driver([](QWidget* modal) {
    auto* size = modal->findChild<QComboBox*>(QStringLiteral("size"));
    auto* buttons = modal->findChild<QDialogButtonBox*>();
    if (!size || !buttons) return modal->close(), void();
    size->setEditText(QStringLiteral("72"));
    buttons->button(QDialogButtonBox::Ok)->click();
  });
  HandleRendererEvent(ControlEvent, FontButton, 0);
  ASSERT_TRUE(driver.handled);
  EXPECT_EQ(rendererSettings.fontSize, 72);
  EXPECT_EQ(ControlText(FontSizeSpin), "72");
  EXPECT_EQ(ControlText(FontNameLabel), rendererSettings.fontName);
  EXPECT_EQ(FontOfHandle(FontHandle(FaceFont))->EmPixels(), 96);
}

TEST_F(RendererWindowTest, CancelledDialogsChangeNothing) {
  const RendererSettings before = rendererSettings;
  const auto preview = Pixels(PreviewImage);
  for (const int control : {static_cast<int>(FontButton), static_cast<int>(TextSwatchView),
                            static_cast<int>(ShadowSwatchView), static_cast<int>(PreviewView)}) {
    ModalDriver cancel([](QWidget* modal) { modal->close(); });
    HandleRendererEvent(ControlEvent, control, 0);
    EXPECT_TRUE(cancel.handled) << control;
  }
  EXPECT_EQ(rendererSettings.fontName, before.fontName);
  EXPECT_EQ(rendererSettings.textColour, before.textColour);
  EXPECT_EQ(rendererSettings.shadowColour, before.shadowColour);
  EXPECT_EQ(rendererSettings.backgroundColour, before.backgroundColour);
  EXPECT_EQ(Pixels(PreviewImage), preview);
}

TEST_F(RendererWindowTest, BlackChosenForTheTextIsApplied) {
  ModalDriver black([](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    if (!dialog) return modal->close(), void();
    dialog->setCurrentColor(QColor(0, 0, 0));
    dialog->accept();
  });
  HandleRendererEvent(ControlEvent, TextSwatchView, 0);
  ASSERT_TRUE(black.handled);
  EXPECT_EQ(rendererSettings.textColour, 0u);
  for (std::uint8_t b : Pixels(TextSwatchImage)) ASSERT_EQ(b, 0);
  for (std::uint8_t b : Pixels(PreviewImage)) ASSERT_EQ(b, 0);  // black on black
}

TEST_F(RendererWindowTest, ARightClickOnASwatchOrThePreviewOpensNothing) {
  for (const int control : {static_cast<int>(TextSwatchView), static_cast<int>(ShadowSwatchView),
                            static_cast<int>(PreviewView)}) {
    ModalDriver unexpected([](QWidget* modal) { modal->close(); }, 300);
    HandleRendererEvent(ControlEvent, control, 1);
    const QDeadlineTimer deadline(400);
    while (!deadline.hasExpired()) PollEvent(20);
    EXPECT_FALSE(unexpected.handled) << control;
  }
}

TEST_F(RendererWindowTest, ASheetTooLargeIsReportedAndNothingIsAskedForTheSave) {
  rendererSettings.fontSize = 2500;
  QString title, text;
  int boxes = 0;
  ModalDriver first([&](QWidget* modal) {
    ++boxes;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      title = box->windowTitle();
      text = box->text();
    }
    modal->close();
  });
  HandleRendererEvent(ControlEvent, BuildButton, 0);
  ModalDriver second([&](QWidget* modal) { ++boxes, modal->close(); }, 300);
  const QDeadlineTimer deadline(400);
  while (!deadline.hasExpired()) PollEvent(20);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(title, QStringLiteral("Error"));
  EXPECT_EQ(text, QStringLiteral("The character sheet would be too large for this font size."));
  EXPECT_EQ(ImageExists(SheetImage), 0);
}

TEST(TestCharacterRule, TheFieldKeepsTheCharacterJustTyped) {
  struct Case {
    const char *field, *last, *kept;
  };
  const Case cases[] = {
      {"AB", "A", "B"},   // typed after
      {"BA", "A", "B"},   // typed before
      {"AA", "A", "A"},   // the same again
      {"", "A", ""},      // emptied
      {"A", "", "A"},
      {"A\xC3\xA9", "A", "\xC3\xA9"},  // a two-byte character after
      {"\xC3\xA9" "A", "A", "\xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(NextTestCharacter(c.field, c.last), c.kept) << c.field;
}

}  // namespace
