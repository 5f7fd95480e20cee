// The glyphkiln window's Options dialog: characters, layout, background,
// effects, distance field and descriptors of the sheets it builds.
#pragma once

#include "renderer/sheet_choices.h"

// Control numbers of the dialog, after the main window's.
enum OptionsControl {
  AsciiRadio = 21, Windows1252Radio, ListRadio, ListField, ListErrorLabel, FileRadio, FileLabel, FileButton,
  GridRadio, FittedRadio, PackedRadio, PaddingLabel, PaddingSpin, SpacingLabel, SpacingSpin, PowerOfTwoCheck,
  PageLabel, PageWidthSpin, PageByLabel, PageHeightSpin,
  OpaqueRadio, TransparentRadio,
  OutlineLabel, OutlineSpin, OutlineSwatchView, JoinList, GradientCheck, GradientTopView, GradientBottomView,
  BlurLabel, BlurSpin,
  TextDescriptorCheck, XmlDescriptorCheck, JsonDescriptorCheck, DescriptorNoteLabel,
  OptionsOkButton, OptionsCancelButton,
  CharactersGroup, LayoutGroup, BackgroundGroup, EffectsGroup, DescriptorGroup,
  OutlineGradientCheck, OutlineTopView, OutlineBottomView, FieldLabel, FieldSpin, FieldErrorLabel,
};

inline constexpr int OptionsWindow = 1;

// Opens the dialog showing `choices`; 0 when it cannot be opened.
int OpenOptionsDialog(const SheetChoices& choices);
enum class OptionsOutcome { Open, Confirmed, Cancelled };
// Runs the handler of one dialog event; on Confirmed `choices` holds what
// the dialog shows, on Cancelled it is unchanged. The dialog is dropped
// unless it stays Open.
OptionsOutcome HandleOptionsEvent(int code, int control, int detail, SheetChoices& choices);
// Opens the dialog and waits for OK or Cancel; true when `choices` changed.
bool AskSheetChoices(SheetChoices& choices);
