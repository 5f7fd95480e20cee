// The renderer's handler rules that the end-to-end tests do not reach: the
// cancelled dialogs, the too-large sheet, the test character.
#include "renderer/renderer_window.h"

#include <gtest/gtest.h>

#include <QMessageBox>

#include <tuple>

#include "core/fonts.h"
#include "raster/image.h"
#include "renderer/renderer_settings.h"
#include "gui/tests/gui_test_support.h"

namespace {

class RendererWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rendererSettings = RendererSettings{};
    ASSERT_EQ(StartRenderer(), 1);
  }
  void TearDown() override {
    DropWindow(RendererWindow);
    DrainEvents();
    ShutdownImages();
    ShutdownFonts();
  }
};

TEST_F(RendererWindowTest, CancelledFontAndColourDialogsChangeNothing) {
  // What the four dialogs could change.
  const auto chosen = [](const RendererSettings& s) {
    return std::tuple(s.fontName, s.fontSize, s.styleBits, s.textColour, s.shadowColour, s.backgroundColour);
  };
  const auto before = chosen(rendererSettings);
  const std::vector<std::uint8_t> preview = ImagePixels(ImageHandle(PreviewImage))->bytes;
  for (const int control : {int{FontButton}, int{TextSwatchView}, int{ShadowSwatchView}, int{PreviewView}}) {
    ModalDriver cancel([](QWidget* modal) { modal->close(); });
    HandleRendererEvent(ControlEvent, control, 0);
    EXPECT_TRUE(cancel.handled) << control;
  }
  EXPECT_EQ(chosen(rendererSettings), before);
  EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, preview);
}

TEST_F(RendererWindowTest, ASheetTooLargeIsReportedOnceAndNoSaveDialogOpens) {
  rendererSettings.fontSize = 2500;
  QString text;
  ModalDriver each([&](QWidget* modal) {  // also closes a save dialog, should one follow
    if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
    modal->close();
  });
  HandleRendererEvent(ControlEvent, BuildButton, 0);
  for (const QDeadlineTimer deadline(400); !deadline.hasExpired();) PollEvent(20);
  EXPECT_EQ(each.handled, 1);
  EXPECT_EQ(text, QStringLiteral("The character sheet would be too large for this font size."));
  EXPECT_EQ(ImageExists(SheetImage), 0);
}

TEST(TestCharacterRule, TheFieldKeepsTheCharacterJustTyped) {
  const char* const cases[][3] = {
      // field, last test character, kept
      {"AB", "A", "B"},  {"BA", "A", "B"}, {"AA", "A", "A"}, {"", "A", ""}, {"A", "", "A"},
      {"A\xC3\xA9", "A", "\xC3\xA9"}, {"\xC3\xA9" "A", "A", "\xC3\xA9"},  // two-byte characters
  };
  for (const auto& c : cases) EXPECT_EQ(NextTestCharacter(c[0], c[1]), c[2]) << c[0];
}

}  // namespace
