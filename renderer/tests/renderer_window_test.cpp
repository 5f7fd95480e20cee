// The renderer's handler rules that the end-to-end tests do not reach: the
// cancelled dialogs, the sheets that cannot be made, the test character, the Options
// dialog's refusals and the chosen sheets' bytes against kilnbatch's.
#include "renderer/renderer_window.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QMessageBox>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>

#include "core/fonts.h"
#include "raster/image.h"
#include "renderer/options_dialog.h"
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
  for (const int control :
       {int{FontButton}, int{TextSwatchView}, int{ShadowSwatchView}, int{PreviewView}, int{OptionsButton}}) {
    ModalDriver cancel([](QWidget* modal) { modal->close(); });
    HandleRendererEvent(ControlEvent, control, 0);
    EXPECT_TRUE(cancel.handled) << control;
  }
  EXPECT_EQ(chosen(rendererSettings), before);
  EXPECT_TRUE(ChosenSheetOptions() == SheetChoices{});
  EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, preview);
}

// A sheet too large, or a distance field with what a field cannot draw.
TEST_F(RendererWindowTest, ASheetThatCannotBeMadeIsReportedOnceAndNoSaveDialogOpens) {
  const std::pair<std::function<void()>, QString> cases[] = {
      {[] { rendererSettings.fontSize = 2500; }, "The character sheet would be too large for this font size."},
      {[] { SetControlValue(ShadowCheck, 1); },
       "A distance field draws no shadow: a shader makes one from the field."},
      {[] { rendererSettings.styleBits = FontUnderline; }, "A distance field draws no underline or strike-out."},
  };
  for (const auto& [refuse, expected] : cases) {
    rendererSettings.fontSize = 8, rendererSettings.styleBits = 0;
    SetControlValue(ShadowCheck, 0);
    ChosenSheetOptions() = {};
    if (expected.contains("field")) ChosenSheetOptions().fieldSpread = 4, ChosenSheetOptions().textDescriptor = true;
    refuse();
    QString text;
    ModalDriver each([&](QWidget* modal) {  // also closes a save dialog, should one follow
      if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
      modal->close();
    });
    HandleRendererEvent(ControlEvent, BuildButton, 0);
    for (const QDeadlineTimer deadline(400); !deadline.hasExpired();) PollEvent(20);
    EXPECT_EQ(each.handled, 1) << expected.toStdString();
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ImageExists(SheetImage), 0);
  }
  ChosenSheetOptions() = {};
}

TEST_F(RendererWindowTest, OptionsAreRefusedWhileWrongAndKeptWhenRight) {
  const std::pair<std::function<void()>, std::function<void()>> cases[] = {
      // made wrong, then right
      {[] { SetControlValue(ListRadio, 1), SetControlText(ListField, "65-"); }, [] { SetControlText(ListField, "65-90"); }},
      {[] { SetControlValue(PackedRadio, 1); }, [] { SetControlValue(XmlDescriptorCheck, 1); }},
      // a field with an outline, then without it but also without a descriptor
      {[] { SetControlText(FieldSpin, "4"), SetControlText(OutlineSpin, "1"); }, [] { SetControlText(OutlineSpin, "0"); }},
      {[] { SetControlText(FieldSpin, "40"); },  // a spread out of range, refused rather than kept at the last in range
       [] { SetControlText(FieldSpin, "4"), SetControlValue(TextDescriptorCheck, 1); }},
  };
  for (const auto& [wrong, right] : cases) {
    SheetChoices choices;
    ASSERT_EQ(OpenOptionsDialog(choices), 1);
    wrong();
    EXPECT_EQ(HandleOptionsEvent(ControlEvent, OptionsOkButton, 0, choices), OptionsOutcome::Open);
    EXPECT_EQ(ControlEnabled(OptionsOkButton), 0);
    const std::string wrongField = ControlText(FieldErrorLabel);
    right();
    HandleOptionsEvent(ControlEvent, ListField, FieldChangeNotice, choices);
    if (!wrongField.empty() && !wrongField.starts_with("Spread")) {
      EXPECT_EQ(wrongField, "No outline or gradient with a field");
      EXPECT_EQ(ControlText(FieldErrorLabel), "A field needs a descriptor");
      EXPECT_EQ(ControlEnabled(OptionsOkButton), 0);
      SetControlValue(JsonDescriptorCheck, 1);
      HandleOptionsEvent(ControlEvent, JsonDescriptorCheck, 0, choices);
      EXPECT_EQ(ControlText(FieldErrorLabel), "");
    }
    EXPECT_EQ(ControlEnabled(OptionsOkButton), 1);
    EXPECT_EQ(ControlText(ListErrorLabel), "");
    EXPECT_EQ(HandleOptionsEvent(ControlEvent, OptionsOkButton, 0, choices), OptionsOutcome::Confirmed);
    EXPECT_FALSE(choices == SheetChoices{});
  }
}

// Each swatch of the dialog chooses its own colour, kept by OK.
TEST_F(RendererWindowTest, EachSwatchChoosesItsOwnColour) {
  SheetChoices choices;
  ASSERT_EQ(OpenOptionsDialog(choices), 1);
  const int views[] = {OutlineSwatchView, GradientTopView, GradientBottomView, OutlineTopView, OutlineBottomView};
  for (const int view : views) {
    ModalDriver pick([view](QWidget* modal) {
      auto* dialog = qobject_cast<QColorDialog*>(modal);
      dialog->setCurrentColor(QColor(view, 0, 0));
      dialog->accept();
    });
    HandleOptionsEvent(ControlEvent, view, 0, choices);
    EXPECT_EQ(pick.handled, 1) << view;
  }
  ASSERT_EQ(HandleOptionsEvent(ControlEvent, OptionsOkButton, 0, choices), OptionsOutcome::Confirmed);
  const SheetEffects& e = choices.effects;
  const std::uint32_t got[] = {e.outlineColour, e.faceGradient.top, e.faceGradient.bottom, e.outlineGradient.top,
                               e.outlineGradient.bottom};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i], static_cast<std::uint32_t>(views[i])) << views[i];
}

// Every file of a folder, by name.
std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

TEST_F(RendererWindowTest, ChosenSheetsAreThoseKilnbatchMakes) {
  const std::filesystem::path root = std::filesystem::path(testing::TempDir()) / "chosen_sheets";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  std::ofstream(root / "chars.txt") << "Caf\xC3\xA9 5\xE2\x82\xAC";
  const std::string chars = (root / "chars.txt").string();
  const std::tuple<const char*, std::function<void(SheetChoices&)>, const char*> cases[] = {
      {"charset.png", [](SheetChoices& c) {
         c.characters = CharacterChoice::Windows1252, c.layout = LayoutChoice::Packed, c.transparent = true;
         c.effects.outlineWidth = 1, c.effects.outlineColour = 0x0000FF, c.textDescriptor = true;
       }, "--charset windows-1252 --pack --transparent --outline 1 --outline-colour FF0000 --descriptor text"},
      {"fitted.bmp", [](SheetChoices& c) {
         c.characters = CharacterChoice::List, c.list = "65-90,0x20AC", c.layout = LayoutChoice::Fitted, c.padding = 3;
         c.xmlDescriptor = c.jsonDescriptor = true;
       }, "--chars 65-90,0x20AC --fit --padding 3 --descriptor xml --descriptor json"},
      {"grid.bmp", [&](SheetChoices& c) {
         c.characters = CharacterChoice::File, c.file = chars, c.effects.faceGradient = {true, 0x0000FF, 0xFF0000};
         c.effects.outlineWidth = 2, c.effects.outlineJoin = StrokeJoin::Bevel;
         c.effects.outlineGradient = {true, 0x00FF00, 0x808080};
       }, "--gradient FF0000,0000FF --outline 2 --outline-join bevel --gradient-outline 00FF00,808080 --chars-file"},
      {"field.png", [](SheetChoices& c) {
         c.fieldSpread = 3, c.layout = LayoutChoice::Packed, c.padding = 0, c.textDescriptor = c.jsonDescriptor = true;
       }, "--sdf 3 --pack --padding 0 --descriptor text --descriptor json"},
  };
  for (const auto& [name, choose, options] : cases) {
    const std::filesystem::path window = root / "window", batch = root / "batch";
    std::filesystem::remove_all(window), std::filesystem::remove_all(batch);
    std::filesystem::create_directories(window), std::filesystem::create_directories(batch);
    ChosenSheetOptions() = {};
    choose(ChosenSheetOptions());
    rendererSettings.effects = ChosenSheetOptions().effects;
    ModalDriver save([saved = (window / name).string()](QWidget* modal) { Answer(modal, saved); });
    HandleRendererEvent(ControlEvent, BuildButton, 0);
    EXPECT_EQ(save.handled, 1) << name;
    const std::string command = std::string(KILNBATCH_PATH) + " sheet -o " + (batch / name).string() + " " + options +
                                (std::string(options).ends_with("file") ? " " + chars : "") + " 2>/dev/null >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto made = FolderFiles(window);
    EXPECT_GT(made.size(), std::string(name) == "grid.bmp" ? 0u : 1u) << name;
    EXPECT_TRUE(made == FolderFiles(batch)) << name;
  }
  ChosenSheetOptions() = {};
  std::filesystem::remove_all(root);
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
