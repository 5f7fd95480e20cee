// The plaquer window: its controls, the sheet choice, handlers and loop.
#pragma once

#include <string>

enum ComposerControl {
  FontButton = 0,
  SheetNameField = 1,
  CaptionLabel = 2,
  CaptionField = 3,
  PreviewView = 4,
  CloseButton = 5,
  AboutButton = 6,
  HelpButton = 7,
  SaveButton = 8,
  SpacingLabel = 9,
  WidthSpin = 10,
  HeightSpin = 11,
  WidthLabel = 12,
  HeightLabel = 13,
  TextBox = 14,
  LetterSpacingSpin = 15,
};

inline constexpr int ComposerWindow = 0;

// Start-up up to the loop: the window, the default path and the first sheet.
// Returns 0 when the program is to end (no window, or the choice cancelled).
int StartComposer();
// Runs the handler of one event; returns 0 when the program should end.
int HandleComposerEvent(int code, int control, int detail);
void RunComposerLoop();

// The default folder and "*.bmp", where every dialog of plaquer starts.
std::string DefaultComposerPath();
void Recompose();
void SaveButtonImage(const std::string& defaultPath);
