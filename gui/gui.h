// The window toolkit: numbered windows and controls, a pull-style event
// queue, the standard dialogs and the message box. Texts are UTF-8. No Qt
// type appears here, and nothing here throws: failures return 0 or "".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "raster/image.h"
#include "core/object_table.h"

// A non-zero value naming a live window or control (or its auto number).
using GuiHandle = std::intptr_t;

// --- start-up and shutdown -------------------------------------------------

// Makes the object tables, the application, the program icon and the control
// font, the application named `program` (its X11 WM_CLASS and its desktop
// file name, without ".desktop"). Returns 1, or 0 when no display can be
// opened (nothing is made then).
int StartGui(std::string_view program);
// StartGui, or a line on standard error saying `program` needs a display and
// exit code 1.
void StartGuiOrExit(std::string_view program);
// Whether a window could be opened here: an offscreen or minimal platform
// asked for explicitly, a reachable X display, or a Wayland socket.
bool DisplayAvailable();
// Hides the tooltip, drops every window with its controls, deletes the
// fonts, releases the images and ends the application.
void ShutdownGui();

// --- windows ---------------------------------------------------------------

inline constexpr int WindowCentred = 1;
inline constexpr int WindowCentredOnParent = 2;
inline constexpr int WindowToolFrame = 4;
inline constexpr int WindowNoControls = 8;
// A dialog: while it is shown the program's other windows take no input;
// dropping it gives it back.
inline constexpr int WindowModal = 16;
inline constexpr int WindowCaption = 0x00C00000;
inline constexpr int WindowSystemMenu = 0x00080000;
inline constexpr int WindowSizingBorder = 0x00040000;
inline constexpr int WindowMinimiseBox = 0x00020000;
inline constexpr int WindowMaximiseBox = 0x00010000;
inline constexpr int WindowHidden = 0x10000000;  // given: created hidden
inline constexpr int WindowMaximised = 0x01000000;
inline constexpr int WindowMinimised = 0x20000000;
// x or y of this value lets the window system place the window.
inline constexpr int WindowDefaultPosition = -65535;

// Inner (client) size w x h. Reusing a number drops the old window first.
GuiHandle MakeWindow(int number, int x, int y, int width, int height, std::string_view title, int flags);
void DropWindow(int number);
// For tests and tools that need it: whether window `number` is shown.
int WindowIsVisible(int number);

// --- events ----------------------------------------------------------------

inline constexpr int ControlEvent = 13100;
inline constexpr int CloseRequestEvent = 16;
inline constexpr int WindowActivatedEvent = 13104;
inline constexpr int WindowMinimisedEvent = 13107;
inline constexpr int WindowMaximisedEvent = 13108;
inline constexpr int WindowRestoredEvent = 13109;
inline constexpr int WindowMovedEvent = 3;
inline constexpr int WindowResizedEvent = 5;
inline constexpr int WindowBackgroundEvent = 15;
// A wait that handled platform events but raised none returns this plus the
// platform's event type: a positive value no event code can take.
inline constexpr int PlatformEventBase = 0x10000;

// Control event details beyond a kind's notification codes.
inline constexpr int DetailFocusGained = 14000;
inline constexpr int DetailFocusLost = 14001;
inline constexpr int DetailDragStart = 14002;
inline constexpr int FieldFocusNotice = 256;
inline constexpr int FieldBlurNotice = 512;
inline constexpr int FieldChangeNotice = 768;

// timeout: -1 waits without limit, 0 does not wait, else milliseconds.
// Returns the event code, or 0 when nothing happened in time.
int PollEvent(int timeoutMs);
int WaitForEvent();
int EventSourceWindow();
int EventSourceControl();
int EventDetail();

// --- controls ----------------------------------------------------------------

inline constexpr int PushButtonKind = 1;
inline constexpr int TextFieldKind = 2;
inline constexpr int TextLabelKind = 3;
inline constexpr int CheckBoxKind = 4;
inline constexpr int ImageViewKind = 9;
inline constexpr int SpinFieldKind = 26;
inline constexpr int ChoiceListKind = 27;
inline constexpr int RadioButtonKind = 28;
inline constexpr int GroupBoxKind = 29;

inline constexpr int CheckThreeState = 5;
inline constexpr int LabelCentred = 1;
inline constexpr int LabelRight = 2;
inline constexpr int LabelBorder = 0x20000;
inline constexpr int FieldCentred = 1;
inline constexpr int FieldRight = 2;
inline constexpr int FieldPassword = 0x20;
inline constexpr int FieldReadOnly = 0x800;
inline constexpr int FieldBorderless = 0x20000;
inline constexpr int ImageViewBorder = 0x200;
inline constexpr int SpinReadOnly = 1;
inline constexpr int SpinNumeric = 2;
// This radio button and those added after it, up to the next that starts
// one, are a group: choosing one clears the others.
inline constexpr int RadioGroupStart = 1;

// Each returns the control's handle (its auto number for AutoNumber), or 0
// when there is no window to hold it. Controls go into the window made last
// (unless it was made with WindowNoControls).
GuiHandle AddPushButton(int number, int x, int y, int width, int height, std::string_view text, int flags = 0);
GuiHandle AddCheckBox(int number, int x, int y, int width, int height, std::string_view text, int flags = 0);
GuiHandle AddTextLabel(int number, int x, int y, int width, int height, std::string_view text, int flags = 0);
GuiHandle AddTextField(int number, int x, int y, int width, int height, std::string_view text, int flags = 0);
GuiHandle AddImageView(int number, int x, int y, int width, int height, ImageHandleValue image, int flags);
GuiHandle AddSpinField(int number, int x, int y, int width, int height, int minimum, int maximum, int flags);
// A spin field's new range; its position is kept.
void SetSpinRange(int number, int minimum, int maximum);
// A drop-down of fixed items. Its value is the chosen item's index from 0
// (-1 none, as it starts), its text that item's; the user's choices raise
// a control event, the program's do not.
GuiHandle AddChoiceList(int number, int x, int y, int width, int height, int flags = 0);
// Appends an item; returns the number of items, 0 when `number` is no choice
// list or it is full.
int AddChoiceItem(int number, std::string_view text);
// Value 1 chosen, 0 not; the user's choosing raises a control event.
GuiHandle AddRadioButton(int number, int x, int y, int width, int height, std::string_view text, int flags = 0);
// A titled frame drawn behind the controls inside it; it raises no events.
GuiHandle AddGroupBox(int number, int x, int y, int width, int height, std::string_view title);

void SetControlText(int number, std::string_view text);
std::string ControlText(int number);
void SetControlValue(int number, std::intptr_t value);
std::intptr_t ControlValue(int number);
void SetControlTip(int number, std::string_view text);
// The kind code of control `number`, 0 when none.
int ControlKindOf(int number);
// A disabled control takes no input, so it raises no events.
void EnableControl(int number, bool enabled);
// 1 when control `number` is enabled, 0 when disabled or none.
int ControlEnabled(int number);

// --- dialogs -------------------------------------------------------------------

// pattern: "label|pattern|label|pattern"; position selects a pair from 0.
// Returns the chosen full path, or "" when cancelled.
std::string AskFileToOpen(std::string_view title, std::string_view defaultFile, std::string_view pattern, int position);
std::string AskFileToSave(std::string_view title, std::string_view defaultFile, std::string_view pattern, int position);

inline constexpr int FontDialogEffects = 0x100;
// 1 when the user chose a font, 0 when cancelled. colour -1 = none.
int AskFont(std::string_view faceName, int points, int dialogFlags, int colour, int styleBits);
std::string ChosenFontName();
int ChosenFontSize();
int ChosenFontColour();
int ChosenFontStyle();

// The chosen colour 0x00BBGGRR, or -1 when cancelled. initial -1 = black.
int AskColour(int initial);

inline constexpr int MessageOk = 0;
inline constexpr int MessageOkCancel = 1;
inline constexpr int MessageAbortRetryIgnore = 2;
inline constexpr int MessageYesNoCancel = 3;
inline constexpr int MessageYesNo = 4;
inline constexpr int MessageRetryCancel = 5;
inline constexpr int MessageCancelTryContinue = 6;
inline constexpr int MessageIconError = 0x10;
inline constexpr int MessageIconQuestion = 0x20;
inline constexpr int MessageIconExclamation = 0x30;
inline constexpr int MessageIconInformation = 0x40;
inline constexpr int AnswerOk = 1;
inline constexpr int AnswerCancel = 2;
inline constexpr int AnswerAbort = 3;
inline constexpr int AnswerRetry = 4;
inline constexpr int AnswerIgnore = 5;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;
inline constexpr int AnswerTryAgain = 10;
inline constexpr int AnswerContinue = 11;

int ShowMessage(std::string_view title, std::string_view text, int flags = 0);
