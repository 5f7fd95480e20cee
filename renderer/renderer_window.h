// The glyphkiln window: its controls, handlers and event loop.
#pragma once

#include <string>
#include <string_view>

// Control numbers of the renderer's window.
enum RendererControl {
  FontButton = 0,
  FontNameLabel = 1,
  FontSizeSpin = 2,
  ShadowSizeSpin = 3,
  TextSwatchView = 4,
  ShadowSwatchView = 5,
  ShadowCheck = 6,
  OffsetXLabel = 7,
  OffsetXSpin = 8,
  OffsetYLabel = 9,
  OffsetYSpin = 10,
  PreviewView = 11,
  TestLabel = 12,
  TestField = 13,
  BuildButton = 14,
  CloseButton = 15,
  CountLabel = 16,
  CountSpin = 17,
  AboutButton = 18,
  HelpButton = 19,
  OptionsButton = 20,
};

inline constexpr int RendererWindow = 0;

// Start-up: the swatches and the preview image, the window, the defaults and
// the first preview. Returns 0 when the window cannot be opened.
int StartRenderer();
// Runs the handler of one event; returns 0 when the program should end.
int HandleRendererEvent(int code, int control, int detail);
// The event loop, until the close box or Close.
void RunRendererLoop();

// The path the save dialog starts from: the default folder and "charset.bmp".
std::string DefaultSheetPath();
// Asks where to save the sheet and writes it, offering Retry on failure.
void SaveCharacterSheet();
// The sheet choices of the Options dialog, for the rest of the run.
struct SheetChoices;
SheetChoices& ChosenSheetOptions();
// The test-character rule: the field keeps one character, the one just typed.
// Returns the text the field is to hold.
std::string NextTestCharacter(std::string_view fieldText, std::string_view lastTestChar);
