#include "renderer/options_dialog.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "core/character_lists.h"
#include "platform/font_source.h"
#include "raster/draw_surface.h"
#include "raster/image.h"
#include "gui/gui.h"

namespace {

constexpr int SwatchSide = 20;

// Each colour swatch: its view, the image it shows (numbered from 4), and the colour it chooses.
struct Swatch {
  int view;
  std::uint32_t& (*colour)(SheetChoices&);
};
constexpr Swatch Swatches[] = {
    {OutlineSwatchView, [](SheetChoices& c) -> std::uint32_t& { return c.effects.outlineColour; }},
    {GradientTopView, [](SheetChoices& c) -> std::uint32_t& { return c.effects.faceGradient.top; }},
    {GradientBottomView, [](SheetChoices& c) -> std::uint32_t& { return c.effects.faceGradient.bottom; }},
    {OutlineTopView, [](SheetChoices& c) -> std::uint32_t& { return c.effects.outlineGradient.top; }},
    {OutlineBottomView, [](SheetChoices& c) -> std::uint32_t& { return c.effects.outlineGradient.bottom; }},
};
constexpr int FirstSwatchImage = 4;

// What the dialog shows while it is open; committed only by OK.
SheetChoices shown;

void ShowSwatch(int image, int view, std::uint32_t colour) {
  if (!ImageExists(image) && !MakeImage(image, SwatchSide, SwatchSide)) return;
  if (BeginDraw(ImageSurface(image))) {
    FillBox(0, 0, SwatchSide, SwatchSide, colour);
    EndDraw();
  }
  SetControlValue(view, static_cast<std::intptr_t>(ImageHandle(image)));
}

void AddSpin(int label, int spin, int x, int y, int labelWidth, const char* text, int low, int high, int value,
             const char* tip) {
  AddTextLabel(label, x, y + 3, labelWidth, 20, text);
  AddSpinField(spin, x + labelWidth, y, 55, 20, low, high, SpinNumeric);
  SetControlText(spin, std::to_string(value));
  SetControlTip(spin, tip);
}

void AddControls(const SheetChoices& c) {
  AddGroupBox(CharactersGroup, 10, 5, 400, 100, "Characters");
  AddRadioButton(AsciiRadio, 20, 25, 120, 20, "ASCII 32 to 126", RadioGroupStart);
  AddRadioButton(Windows1252Radio, 150, 25, 120, 20, "Windows-1252");
  AddRadioButton(ListRadio, 20, 50, 50, 20, "List");
  AddTextField(ListField, 75, 50, 150, 20, c.list);
  AddTextLabel(ListErrorLabel, 230, 53, 175, 20, "");
  AddRadioButton(FileRadio, 20, 75, 50, 20, "File");
  AddTextLabel(FileLabel, 75, 75, 230, 20, c.file, LabelBorder);
  AddPushButton(FileButton, 315, 75, 85, 20, "Choose...");
  SetControlTip(ListField, "Code points and ranges, such as 32-126,U+0400-U+044F");
  SetControlTip(FileButton, "Every Character of a UTF-8 Text File");

  AddGroupBox(LayoutGroup, 10, 110, 400, 100, "Layout");
  AddRadioButton(GridRadio, 20, 130, 90, 20, "Grid", RadioGroupStart);
  AddRadioButton(FittedRadio, 120, 130, 110, 20, "Fitted cells");
  AddRadioButton(PackedRadio, 240, 130, 110, 20, "Packed pages");
  AddSpin(PaddingLabel, PaddingSpin, 20, 155, 55, "Padding", 0, 100, c.padding, "Background Around Each Glyph");
  AddSpin(SpacingLabel, SpacingSpin, 140, 155, 55, "Spacing", 0, 32, c.spacing, "Space Between Packed Glyphs");
  AddCheckBox(PowerOfTwoCheck, 265, 155, 120, 20, "Power of two");
  SetControlTip(PowerOfTwoCheck, "Page Sides Powers of Two");
  AddSpin(PageLabel, PageWidthSpin, 20, 180, 55, "Page", 16, 8192, c.pageWidth, "Largest Page Width");
  AddTextLabel(PageByLabel, 133, 183, 10, 20, "x");
  AddSpinField(PageHeightSpin, 145, 180, 55, 20, 16, 8192, SpinNumeric);
  SetControlText(PageHeightSpin, std::to_string(c.pageHeight));
  SetControlTip(PageHeightSpin, "Largest Page Height");

  AddGroupBox(BackgroundGroup, 10, 215, 400, 45, "Background");
  AddRadioButton(OpaqueRadio, 20, 233, 120, 20, "Opaque", RadioGroupStart);
  AddRadioButton(TransparentRadio, 150, 233, 160, 20, "Transparent (PNG)");

  AddGroupBox(EffectsGroup, 10, 265, 400, 125, "Effects");
  AddSpin(OutlineLabel, OutlineSpin, 20, 285, 55, "Outline", 0, MaxOutlineWidth, c.effects.outlineWidth,
          "Width of Outline");
  AddImageView(OutlineSwatchView, 140, 285, SwatchSide, SwatchSide, 0, ImageViewBorder);
  SetControlTip(OutlineSwatchView, "Colour of Outline");
  AddChoiceList(JoinList, 170, 285, 80, 20);
  for (const char* join : {"Round", "Miter", "Bevel"}) AddChoiceItem(JoinList, join);
  SetControlTip(JoinList, "Corners of Outline");
  AddCheckBox(GradientCheck, 20, 310, 110, 20, "Gradient fill");
  AddImageView(GradientTopView, 140, 310, SwatchSide, SwatchSide, 0, ImageViewBorder);
  AddImageView(GradientBottomView, 170, 310, SwatchSide, SwatchSide, 0, ImageViewBorder);
  SetControlTip(GradientTopView, "Colour at the Top");
  SetControlTip(GradientBottomView, "Colour at the Bottom");
  AddCheckBox(OutlineGradientCheck, 215, 310, 115, 20, "Outline gradient");
  AddImageView(OutlineTopView, 335, 310, SwatchSide, SwatchSide, 0, ImageViewBorder);
  AddImageView(OutlineBottomView, 365, 310, SwatchSide, SwatchSide, 0, ImageViewBorder);
  SetControlTip(OutlineTopView, "Outline Colour at the Top");
  SetControlTip(OutlineBottomView, "Outline Colour at the Bottom");
  AddSpin(BlurLabel, BlurSpin, 20, 335, 80, "Shadow blur", 0, MaxShadowBlur, c.effects.shadowBlur,
          "Softness of Shadow");
  AddSpin(FieldLabel, FieldSpin, 20, 360, 80, "Distance field", 0, GlyphFieldMaxSpread, c.fieldSpread,
          "Spread of Distance Field");
  AddTextLabel(FieldErrorLabel, 165, 363, 240, 20, "");

  AddGroupBox(DescriptorGroup, 10, 395, 400, 45, "Descriptor");
  AddCheckBox(TextDescriptorCheck, 20, 413, 60, 20, "Text");
  AddCheckBox(XmlDescriptorCheck, 85, 413, 60, 20, "XML");
  AddCheckBox(JsonDescriptorCheck, 150, 413, 60, 20, "JSON");
  AddTextLabel(DescriptorNoteLabel, 215, 416, 190, 20, "Packed pages need one or more");

  AddPushButton(OptionsOkButton, 250, 450, 75, 25, "OK");
  AddPushButton(OptionsCancelButton, 335, 450, 75, 25, "Cancel");
}

void ShowChoices(const SheetChoices& c) {
  constexpr int characterRadios[] = {AsciiRadio, Windows1252Radio, ListRadio, FileRadio};
  SetControlValue(characterRadios[static_cast<int>(c.characters)], 1);
  SetControlValue(GridRadio + static_cast<int>(c.layout), 1);
  SetControlValue(c.transparent ? TransparentRadio : OpaqueRadio, 1);
  SetControlValue(PowerOfTwoCheck, c.powerOfTwo);
  SetControlValue(JoinList, static_cast<int>(c.effects.outlineJoin));
  SetControlValue(GradientCheck, c.effects.faceGradient.on);
  SetControlValue(OutlineGradientCheck, c.effects.outlineGradient.on);
  SetControlValue(TextDescriptorCheck, c.textDescriptor);
  SetControlValue(XmlDescriptorCheck, c.xmlDescriptor);
  SetControlValue(JsonDescriptorCheck, c.jsonDescriptor);
  SheetChoices colours = c;
  for (int i = 0; const Swatch& swatch : Swatches) ShowSwatch(FirstSwatchImage + i++, swatch.view, swatch.colour(colours));
}

int SpinValue(int spin) { return static_cast<int>(ControlValue(spin)); }

// The dialog's controls read into `shown` (its colours and file are kept there as chosen).
void ReadChoices() {
  SheetChoices& c = shown;
  c.characters = ControlValue(Windows1252Radio) ? CharacterChoice::Windows1252
                 : ControlValue(ListRadio)      ? CharacterChoice::List
                 : ControlValue(FileRadio)      ? CharacterChoice::File
                                                : CharacterChoice::Ascii;
  c.list = ControlText(ListField);
  c.layout = ControlValue(FittedRadio) ? LayoutChoice::Fitted
             : ControlValue(PackedRadio) ? LayoutChoice::Packed
                                         : LayoutChoice::Grid;
  c.padding = SpinValue(PaddingSpin);
  c.spacing = SpinValue(SpacingSpin);
  c.pageWidth = SpinValue(PageWidthSpin);
  c.pageHeight = SpinValue(PageHeightSpin);
  c.powerOfTwo = ControlValue(PowerOfTwoCheck) != 0;
  c.transparent = ControlValue(TransparentRadio) != 0;
  c.effects.outlineWidth = SpinValue(OutlineSpin);
  const auto join = ControlValue(JoinList);
  c.effects.outlineJoin = join == 1 ? StrokeJoin::Miter : join == 2 ? StrokeJoin::Bevel : StrokeJoin::Round;
  c.effects.faceGradient.on = ControlValue(GradientCheck) != 0;
  c.effects.outlineGradient.on = ControlValue(OutlineGradientCheck) != 0;
  c.effects.shadowBlur = SpinValue(BlurSpin);
  // A spread typed out of range would silently stay at the last one in range: it is refused instead.
  c.fieldSpread = ControlText(FieldSpin) == std::to_string(SpinValue(FieldSpin)) ? SpinValue(FieldSpin) : -1;
  c.textDescriptor = ControlValue(TextDescriptorCheck) != 0;
  c.xmlDescriptor = ControlValue(XmlDescriptorCheck) != 0;
  c.jsonDescriptor = ControlValue(JsonDescriptorCheck) != 0;
}

// Only what applies to the layout is enabled; a wrong list is named beside it.
void ShowState() {
  ReadChoices();
  const bool fitted = shown.layout != LayoutChoice::Grid;
  const bool packed = shown.layout == LayoutChoice::Packed;
  EnableControl(PaddingSpin, fitted || shown.textDescriptor || shown.xmlDescriptor || shown.jsonDescriptor);
  for (const int control : {SpacingSpin, PowerOfTwoCheck, PageWidthSpin, PageHeightSpin}) EnableControl(control, packed);
  std::string why;
  if (shown.characters == CharacterChoice::List && !ParseCharacterRanges(shown.list, &why)) {
    SetControlText(ListErrorLabel, why);
  } else {
    SetControlText(ListErrorLabel, "");
  }
  SetControlText(FieldErrorLabel, FieldChoiceRefusal(shown));
  EnableControl(OptionsOkButton, SheetChoicesRefusal(shown).empty());
}

// The colour dialog for a swatch view clicked; false for any other control.
bool ChooseSwatchColour(int control, int detail) {
  for (int i = 0; const Swatch& swatch : Swatches) {
    if (swatch.view != control || detail != 0) {
      ++i;
      continue;
    }
    std::uint32_t& colour = swatch.colour(shown);
    if (const int chosen = AskColour(static_cast<int>(colour)); chosen != -1) {
      colour = static_cast<std::uint32_t>(chosen);
      ShowSwatch(FirstSwatchImage + i, swatch.view, colour);
    }
    return true;
  }
  return false;
}

void CloseOptionsDialog() {
  DropWindow(OptionsWindow);
  for (int i = 0; i < static_cast<int>(std::size(Swatches)); ++i) DropImage(FirstSwatchImage + i);
}

}  // namespace

int OpenOptionsDialog(const SheetChoices& choices) {
  shown = choices;
  if (!MakeWindow(OptionsWindow, 0, 0, 420, 485, "Sheet Options",
                  WindowCentredOnParent | WindowCaption | WindowSystemMenu | WindowModal)) {
    return 0;
  }
  AddControls(choices);
  ShowChoices(choices);
  ShowState();
  return 1;
}

OptionsOutcome HandleOptionsEvent(int code, int control, int detail, SheetChoices& choices) {
  if (code == CloseRequestEvent) {
    CloseOptionsDialog();
    return OptionsOutcome::Cancelled;
  }
  if (code != ControlEvent) return OptionsOutcome::Open;
  switch (control) {
    case OptionsOkButton:
      ReadChoices();
      if (!SheetChoicesRefusal(shown).empty()) break;
      choices = shown;
      CloseOptionsDialog();
      return OptionsOutcome::Confirmed;
    case OptionsCancelButton:
      CloseOptionsDialog();
      return OptionsOutcome::Cancelled;
    case FileButton:
      if (const std::string file = AskFileToOpen("Characters", shown.file, "Text (*.txt)|*.txt|Any (*.*)|*.*", 0);
          !file.empty()) {
        shown.file = file;
        SetControlText(FileLabel, file);
        SetControlValue(FileRadio, 1);
      }
      break;
    default:
      ChooseSwatchColour(control, detail);
      break;
  }
  ShowState();
  return OptionsOutcome::Open;
}

bool AskSheetChoices(SheetChoices& choices) {
  if (!OpenOptionsDialog(choices)) return false;
  for (;;) {
    const int code = WaitForEvent();
    if (EventSourceWindow() != OptionsWindow) continue;  // the main window takes no input meanwhile
    const OptionsOutcome outcome = HandleOptionsEvent(code, EventSourceControl(), EventDetail(), choices);
    if (outcome != OptionsOutcome::Open) return outcome == OptionsOutcome::Confirmed;
  }
}
