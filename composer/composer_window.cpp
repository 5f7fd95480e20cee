#include "composer/composer_window.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "composer/caption_set.h"
#include "composer/compose.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/paths.h"
#include "core/save_folder.h"
#include "core/text_codes.h"
#include "gui/gui.h"

namespace {

constexpr const char* Title = "Plaquer";
constexpr const char* BoxTitle = "Plaquer 0.1a";
constexpr int WindowFlags = WindowCaption | WindowSystemMenu;
constexpr const char* Patterns = "Bitmaps (*.bmp)|*.bmp|All files (*.*)|*.*";
// A new sheet is read here first, so a file that fails to load never costs
// the composer the sheet it has.
constexpr int IncomingSheet = 3;

constexpr const char* AboutText =
    "The plaquer project\n"
    "December 2026";

struct ComposerState {
  std::string defaultPath;
  std::string sheetPath;
  CaptionSet set;
};
ComposerState state;

std::string HelpText() {
  return std::string("Select an image font\n") + "Enter some text\n" + "Adjust width and height if required.\n" +
         "Save the image. Thats it!!\n\n\n" + "Create an image font using Lumora tool\n" +
         "Both tools and their guide are described in /usr/share/doc/glyphkiln/README.md";
}

int CreateMainWindow() {
  if (!MakeWindow(ComposerWindow, 357, 119, 319, 300, Title, WindowFlags)) return 0;
  AddPushButton(FontButton, 10, 10, 50, 20, "Font");
  SetControlTip(FontButton, "Select font image to use");
  AddTextField(SheetNameField, 70, 10, 120, 20, "", FieldReadOnly);
  SetControlTip(SheetNameField, "filename");
  AddTextLabel(CaptionLabel, 20, 40, 40, 20, "Caption");
  AddTextField(CaptionField, 70, 40, 120, 20, "");
  SetControlTip(CaptionField, "Enter text here for your button");
  AddImageView(PreviewView, 20, 100, 290, 40, 0, ImageViewBorder);
  AddPushButton(CloseButton, 200, 10, 50, 20, "Close");
  SetControlTip(CloseButton, "Close application");
  AddPushButton(AboutButton, 260, 10, 50, 20, "About");
  SetControlTip(AboutButton, "Made by the plaquer project");
  AddPushButton(HelpButton, 260, 40, 50, 20, "Help");
  SetControlTip(HelpButton, "More useless help");
  AddPushButton(SaveButton, 200, 40, 50, 20, "Save");
  SetControlTip(SaveButton, "Save button image to file");
  AddTextLabel(SpacingLabel, 20, 70, 40, 20, "Spacing");
  AddSpinField(WidthSpin, 80, 70, 40, 20, MinCellSize, ControlCellSizeLimit, SpinNumeric);
  SetControlTip(WidthSpin, "Width of font");
  AddSpinField(HeightSpin, 150, 70, 40, 20, MinCellSize, ControlCellSizeLimit, SpinNumeric);
  SetControlTip(HeightSpin, "Height of Font");
  AddTextLabel(WidthLabel, 70, 70, 10, 20, "W");
  AddTextLabel(HeightLabel, 140, 70, 10, 20, "H");
  AddCheckBox(TextBox, 200, 70, 50, 20, "Text");
  SetControlTip(TextBox, "Set the caption with the font's own spacing");
  AddSpinField(LetterSpacingSpin, 260, 70, 50, 20, -20, 20, SpinNumeric);
  SetControlTip(LetterSpacingSpin, "Letter spacing");
  SetControlText(LetterSpacingSpin, "0");
  EnableControl(LetterSpacingSpin, false);
  return 1;
}

bool SetAsText() { return ControlValue(TextBox) != 0; }

// W and H size cells, which text has none of.
void EnableSettingControls() {
  for (int spin : {WidthSpin, HeightSpin}) EnableControl(spin, !SetAsText());
  EnableControl(LetterSpacingSpin, SetAsText());
}

// After every successful load: the name shown, both sizes back to the
// sheet's default, and a range wide enough to hold that default. Cells cut
// from a packed page would hold parts of other glyphs, so such a set is set
// as text only.
void ShowLoadedSheet(const std::string& path) {
  state.sheetPath = path;
  SetControlText(SheetNameField, FilePart(path) + (state.set.packed ? " (packed)" : ""));
  const int size = DefaultCellSize();
  for (int spin : {WidthSpin, HeightSpin}) {
    SetSpinRange(spin, MinCellSize, MaxCellSize());
    SetControlText(spin, std::to_string(size));
  }
  if (state.set.packed) SetControlValue(TextBox, 1);
  EnableControl(TextBox, !state.set.packed);
  EnableSettingControls();
}

std::string LoadSheet(const std::string& path) { return LoadCaptionSet(path, IncomingSheet, state.set); }

int ComposeCaption(int format) {
  if (SetAsText()) {
    return ComposeTextCaption(state.set, ControlText(CaptionField), static_cast<int>(ControlValue(LetterSpacingSpin)), format);
  }
  const int w = static_cast<int>(ControlValue(WidthSpin));
  const int h = static_cast<int>(ControlValue(HeightSpin));
  return ComposeCellCaption(w, h, Utf8ToWindows1252(ControlText(CaptionField)), format);
}

void ChangeSheet() {
  const std::string path = AskFileToOpen("select a font image", state.sheetPath, Patterns, 0);
  if (path.empty()) return;
  if (const std::string failure = LoadSheet(path); !failure.empty()) {
    ShowMessage("Error", failure, MessageOk | MessageIconError);
    return;
  }
  ShowLoadedSheet(path);
  Recompose();
}

}  // namespace

std::string DefaultComposerPath() { return DefaultSaveFolder(ProgramFilePath()) + "*.bmp"; }

void Recompose() {
  if (ComposeCaption(ImageFormatBmp)) {
    SetControlValue(PreviewView, static_cast<std::intptr_t>(ImageHandle(ButtonImage)));
  }
}

void SaveButtonImage(const std::string& defaultPath) {
  if (!ImageExists(ButtonImage)) return;
  std::string path = AskFileToSave("Save button as", defaultPath, Patterns, 0);
  if (path.empty()) return;
  path = WithDefaultExtension(path, ".bmp");
  const int format = ImageFormatForName(path);
  // A PNG keeps a transparent sheet's alpha, unlike the preview; text is set again for a PNG.
  const bool withAlpha = format == ImageFormatPng && (SetAsText() || ImageExists(SheetWithAlpha));
  // The user must know when the caption did not reach the disk, and why.
  const bool composed = !withAlpha || ComposeCaption(format);
  std::string why = composed ? "" : "The caption is empty or too wide for an image.";
  if (!composed || !SaveImage(ButtonImage, path.c_str(), format, 7, &why)) {
    ShowMessage("Error", "Unable to save in specified format.\n" + why, MessageOk | MessageIconError);
  }
  if (withAlpha) Recompose();
}

int StartComposer() {
  if (!CreateMainWindow()) return 0;
  state.defaultPath = DefaultComposerPath();
  for (;;) {
    const std::string path = AskFileToOpen("select a font image", state.defaultPath, Patterns, 0);
    if (path.empty()) return 0;
    const std::string failure = LoadSheet(path);
    if (failure.empty()) {
      ShowLoadedSheet(path);
      break;
    }
    if (ShowMessage("Error", failure, MessageRetryCancel | MessageIconError) == AnswerCancel) {
      return 0;
    }
  }
  Recompose();
  return 1;
}

int HandleComposerEvent(int code, int control, int /*detail*/) {
  if (code == CloseRequestEvent) return 0;
  if (code != ControlEvent) return 1;
  switch (control) {
    case FontButton:
      ChangeSheet();
      break;
    case TextBox:
      EnableSettingControls();
      Recompose();
      break;
    case CaptionField:
    case LetterSpacingSpin:
    case WidthSpin:
    case HeightSpin:
      Recompose();
      break;
    case CloseButton:
      return 0;
    case AboutButton:
      ShowMessage(BoxTitle, AboutText, MessageOk);
      break;
    case HelpButton:
      ShowMessage(BoxTitle, HelpText(), MessageOk);
      break;
    case SaveButton:
      SaveButtonImage(state.defaultPath);
      break;
    default:
      break;
  }
  return 1;
}

void RunComposerLoop() {
  for (;;) {
    const int code = WaitForEvent();
    if (!HandleComposerEvent(code, EventSourceControl(), EventDetail())) return;
  }
}
