#include "renderer/renderer_window.h"

#include <cstdint>
#include <string>

#include "raster/bmp_file.h"
#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_drawing.h"
#include "renderer/renderer_settings.h"
#include "renderer/options_dialog.h"
#include "renderer/sheet_build.h"
#include "renderer/sheet_set.h"
#include "core/fonts.h"
#include "core/paths.h"
#include "core/save_folder.h"
#include "core/text_codes.h"
#include "gui/gui.h"

namespace {

constexpr const char* Title = "Lumora";
constexpr int WindowFlags = WindowCentred | WindowCaption | WindowSystemMenu;
constexpr int SwatchSide = 20;

constexpr const char* AboutText =
    "Lumora construction set (0.1)\n"
    "The glyphkiln project, 2026\n"
    "See /usr/share/doc/glyphkiln/README.md for how to use it.";

constexpr const char* HelpText =
    "Lumora Construction Kit\n"
    "Select a font, size, color by either\n"
    "pressing the Font button or the\n"
    "spin and color controls to the right.\n\n"
    "Type a character next to the TEST label.\n"
    "Click the Preview window to change the background.\n"
    "If you like, click Build to build a set.\n"
    "Shadow Effects:\n"
    "Click the checkbox to enable shadows.\n"
    "Use X,Y spinners to adjust shadow placement.\n"
    "Use C (count) to adjust shadow thickness.\n"
    "On the right, size and color of the shadow.\n";

void FillSwatch(int image, std::uint32_t colour) {
  if (!BeginDraw(ImageSurface(image))) return;
  FillBox(0, 0, 30, 30, colour);
  EndDraw();
}

int CreateMainWindow() {
  if (!MakeWindow(RendererWindow, 0, 0, 296, 278, Title, WindowFlags)) return 0;
  AddPushButton(FontButton, 10, 10, 40, 20, "Font 1");
  AddTextLabel(FontNameLabel, 60, 10, 150, 20, "", LabelBorder);
  AddSpinField(FontSizeSpin, 220, 10, 40, 20, 8, 40, SpinNumeric);
  AddSpinField(ShadowSizeSpin, 220, 40, 40, 20, 8, 40, SpinNumeric);
  AddImageView(TextSwatchView, 270, 10, 20, 20, ImageHandle(TextSwatchImage), ImageViewBorder);
  AddImageView(ShadowSwatchView, 270, 40, 20, 20, ImageHandle(ShadowSwatchImage), ImageViewBorder);
  AddCheckBox(ShadowCheck, 10, 40, 40, 20, "Back");
  AddTextLabel(OffsetXLabel, 60, 45, 10, 10, "X");
  AddSpinField(OffsetXSpin, 70, 40, 40, 20, -MaxShadowOffset, MaxShadowOffset, SpinNumeric);
  AddTextLabel(OffsetYLabel, 110, 45, 10, 20, "Y");
  AddSpinField(OffsetYSpin, 120, 40, 40, 20, -MaxShadowOffset, MaxShadowOffset, SpinNumeric);
  AddImageView(PreviewView, 10, 70, 200, 200, ImageHandle(PreviewImage), ImageViewBorder);
  AddTextLabel(TestLabel, 220, 80, 30, 20, "Test");
  AddTextField(TestField, 260, 70, 30, 20, "");
  AddPushButton(BuildButton, 220, 100, 70, 30, "Build");
  AddPushButton(CloseButton, 220, 140, 70, 30, "Close");
  AddTextLabel(CountLabel, 160, 45, 10, 20, "C");
  AddSpinField(CountSpin, 170, 40, 40, 20, MinShadowCount, MaxShadowCount, SpinNumeric);
  SetControlTip(FontButton, "Select Font");
  SetControlTip(FontNameLabel, "Selected Font Name");
  SetControlTip(FontSizeSpin, "Font Size");
  SetControlTip(ShadowSizeSpin, "Size of Shadow");
  SetControlTip(ShadowCheck, "Enable Background Shadows");
  SetControlTip(OffsetXSpin, "Horzontal Offset of Shadow");
  SetControlTip(OffsetYSpin, "Vertical Offset of Shadow");
  SetControlTip(TestField, "Characters to Test Render");
  SetControlTip(BuildButton, "Build Character Set");
  SetControlTip(CloseButton, "Close Application");
  SetControlTip(CountSpin, "Thickness of Shadow");
  AddPushButton(AboutButton, 220, 180, 70, 30, "About");
  SetControlTip(AboutButton, "The glyphkiln project, 2026");
  AddPushButton(HelpButton, 220, 220, 70, 30, "Help");
  SetControlTip(HelpButton, "Useless information :)");
  AddPushButton(OptionsButton, 220, 254, 70, 20, "Options");
  SetControlTip(OptionsButton, "Sheet options");
  return 1;
}

void ShowPreview() {
  const bool shadowOn = ControlValue(ShadowCheck) != 0;
  const int count = static_cast<int>(ControlValue(CountSpin));
  RefreshPreview(shadowOn, count, Utf8ToWindows1252(ControlText(TestField)));
  SetControlValue(PreviewView, static_cast<std::intptr_t>(ImageHandle(PreviewImage)));
}

void ShowSwatch(int image, int view, std::uint32_t colour) {
  FillSwatch(image, colour);
  SetControlValue(view, static_cast<std::intptr_t>(ImageHandle(image)));
}

void ChooseFont() {
  RendererSettings& s = rendererSettings;
  if (!AskFont(s.fontName, s.fontSize, FontDialogEffects, static_cast<int>(s.textColour), s.styleBits)) return;
  s.fontName = ChosenFontName();
  SetControlText(FontNameLabel, s.fontName);
  s.textColour = static_cast<std::uint32_t>(ChosenFontColour()) & 0x00FFFFFF;
  ShowSwatch(TextSwatchImage, TextSwatchView, s.textColour);
  s.fontSize = ChosenFontSize();
  SetControlText(FontSizeSpin, std::to_string(s.fontSize));
  s.styleBits = ChosenFontStyle();
  ShowPreview();
}

// A left click on a colour view opens the colour dialog; nothing else does.
bool ChooseColour(int detail, std::uint32_t& colour) {
  if (detail != 0) return false;
  const int chosen = AskColour(static_cast<int>(colour));
  if (chosen == -1) return false;
  colour = static_cast<std::uint32_t>(chosen);
  return true;
}

SheetChoices sheetChoices;

// Asks where to save the sheet until `write(path, format, &why)` writes it
// there or the user cancels; `png` offers PNG alone.
template <class Write>
void SaveSheetAsked(bool png, Write write) {
  const std::string start = png ? DefaultSaveFolder(ProgramFilePath()) + "charset.png" : DefaultSheetPath();
  for (;;) {
    std::string path =
        AskFileToSave("Save Image As", start, png ? "PNG (*.png)|*.png" : "Bitmap (*.bmp)|*.bmp|Any (*.*)|*.*", 0);
    if (path.empty()) return;
    path = WithDefaultExtension(path, png ? ".png" : ".bmp");
    std::string why;
    if (write(path, png ? ImageFormatPng : ImageFormatForName(path), &why)) return;
    if (ShowMessage("Error", "Unable to save in specified format.\n" + why,
                    MessageRetryCancel | MessageIconExclamation) == AnswerCancel) {
      return;
    }
  }
}

// Where the chosen set is saved: PNG only for a transparent or distance-field sheet.
void SaveChosenSheetSet(SheetSet& set) {
  SaveSheetAsked(ChoicesNeedPng(sheetChoices), [&set](const std::string& path, int format, std::string* why) {
    set.format = format;
    return WriteSheetSet(path, set, why);
  });
}

// The sheet the Options dialog asks for, made as kilnbatch makes it.
void BuildChosenSheet(bool shadowOn, int count) {
  SheetSet set;
  set.shadowOn = shadowOn;
  set.count = count;
  set.testText = Utf8ToWindows1252(ControlText(TestField));
  std::string why = FieldBuildRefusal(sheetChoices, shadowOn, rendererSettings.styleBits);
  if (!why.empty() || !SheetSetOfChoices(sheetChoices, ImageFormatBmp, set, &why)) {
    ShowMessage("Error", why, MessageIconExclamation);
    return;
  }
  const bool built = BuildSheetSet(set);
  SetControlValue(PreviewView, static_cast<std::intptr_t>(ImageHandle(PreviewImage)));
  if (!built) {
    const bool tooLarge = set.packed.layout.outcome != PackOutcome::Packed;
    ShowMessage("Error",
                set.pack && tooLarge ? "The characters do not fit on the pages."
                                     : "The character sheet would be too large for this font size.",
                MessageIconExclamation);
    return;
  }
  SaveChosenSheetSet(set);
}

void Build() {
  if (!(sheetChoices == SheetChoices{})) {
    BuildChosenSheet(ControlValue(ShadowCheck) != 0, static_cast<int>(ControlValue(CountSpin)));
    return;
  }
  const bool shadowOn = ControlValue(ShadowCheck) != 0;
  const int count = static_cast<int>(ControlValue(CountSpin));
  const int n = BuildCharacterSheet(shadowOn, count, Utf8ToWindows1252(ControlText(TestField)));
  SetControlValue(PreviewView, static_cast<std::intptr_t>(ImageHandle(PreviewImage)));
  if (!n) {
    ShowMessage("Error", "The character sheet would be too large for this font size.", MessageIconExclamation);
    return;
  }
  SaveCharacterSheet();
}

}  // namespace

std::string NextTestCharacter(std::string_view t, std::string_view last) {
  if (t == last || t.empty()) return std::string(t);
  const std::string_view lastOfT = LastUtf8Character(t);
  if (lastOfT != last) return std::string(lastOfT);
  return std::string(FirstUtf8Character(t));
}

SheetChoices& ChosenSheetOptions() { return sheetChoices; }

std::string DefaultSheetPath() { return DefaultSaveFolder(ProgramFilePath()) + "charset.bmp"; }

void SaveCharacterSheet() {
  SaveSheetAsked(false, [](const std::string& path, int format, std::string* why) {
    return SaveImage(SheetImage, path.c_str(), format, 7, why) != 0;
  });
}

int StartRenderer() {
  MakeImage(TextSwatchImage, SwatchSide, SwatchSide);
  FillSwatch(TextSwatchImage, 0x00FFFFFF);
  MakeImage(ShadowSwatchImage, SwatchSide, SwatchSide);
  MakeImage(PreviewImage, PreviewSide, PreviewSide);
  if (!CreateMainWindow()) return 0;
  RendererSettings& s = rendererSettings;
  s.textColour = 0x00FFFFFF;
  s.fontName = "Arial";
  SetControlText(FontNameLabel, s.fontName);
  s.fontSize = 8;
  s.shadowSize = 8;
  SetControlText(FontSizeSpin, "8");
  SetControlText(OffsetXSpin, "0");
  SetControlText(OffsetYSpin, "0");
  SetControlText(ShadowSizeSpin, "8");
  SetControlText(CountSpin, "1");
  SetControlText(TestField, "A");
  ShowPreview();
  return 1;
}

int HandleRendererEvent(int code, int control, int detail) {
  if (code == CloseRequestEvent) return 0;
  if (code != ControlEvent) return 1;
  RendererSettings& s = rendererSettings;
  switch (control) {
    case FontButton:
      ChooseFont();
      break;
    case FontSizeSpin:
      s.fontSize = static_cast<int>(ControlValue(FontSizeSpin));
      ShowPreview();
      break;
    case ShadowSizeSpin:
      s.shadowSize = static_cast<int>(ControlValue(ShadowSizeSpin));
      ShowPreview();
      break;
    case TextSwatchView:
      if (ChooseColour(detail, s.textColour)) {
        ShowSwatch(TextSwatchImage, TextSwatchView, s.textColour);
        ShowPreview();
      }
      break;
    case ShadowSwatchView:
      if (ChooseColour(detail, s.shadowColour)) {
        ShowSwatch(ShadowSwatchImage, ShadowSwatchView, s.shadowColour);
        ShowPreview();
      }
      break;
    case OffsetXSpin:
      s.shadowOffsetX = static_cast<int>(ControlValue(OffsetXSpin));
      ShowPreview();
      break;
    case OffsetYSpin:
      s.shadowOffsetY = static_cast<int>(ControlValue(OffsetYSpin));
      ShowPreview();
      break;
    case PreviewView:
      if (ChooseColour(detail, s.backgroundColour)) ShowPreview();
      break;
    case TestField: {
      const std::string t = ControlText(TestField);
      if (t == s.lastTestChar) break;
      s.lastTestChar = NextTestCharacter(t, s.lastTestChar);
      SetControlText(TestField, s.lastTestChar);
      ShowPreview();
      break;
    }
    case BuildButton:
      Build();
      break;
    case CloseButton:
      return 0;
    case CountSpin:
      ShowPreview();
      break;
    case AboutButton:
      ShowMessage(Title, AboutText, MessageOk);
      break;
    case HelpButton:
      ShowMessage(Title, HelpText, MessageOk);
      break;
    case OptionsButton:
      if (AskSheetChoices(sheetChoices)) {
        s.effects = sheetChoices.effects;
        ShowPreview();
      }
      break;
    default:
      break;  // the labels and the shadow switch
  }
  return 1;
}

void RunRendererLoop() {
  for (;;) {
    const int code = WaitForEvent();
    if (!HandleRendererEvent(code, EventSourceControl(), EventDetail())) return;
  }
}
