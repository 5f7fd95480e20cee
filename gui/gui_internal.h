// What the toolkit's Qt half shares between its files. Not for programs.
// The sections run from the bottom up: a file calls only into the sections
// before its own, so the event queue knows no window and the windows know no
// control. Start-up, the waits and the dialogs sit on top of them all.
#pragma once

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cassert>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/gui.h"

// --- qt_conversions.cpp, look.cpp ------------------------------------------

// Texts longer than this are cut (at a character boundary) on the way in and
// out, as the original edit controls hold at most this much.
inline constexpr std::size_t GuiTextMaxBytes = 32767;

QString ToQt(std::string_view text);
std::string FromQt(const QString& text);
// A copy of an image's pixels for painting; null image when none.
QImage ImageForPainting(ImageHandleValue handle);

// The controls' style and font, and the stand-in program icon.
void ApplyLook();
void DropLook();
const QFont& ControlFont();

// --- event_queue.cpp -------------------------------------------------------

// The application whose top-level dispatches the event queue counts, and the
// queue's own state.
std::unique_ptr<QApplication> MakeCountingApplication(int& argc, char** argv);
void StartEventQueue();
void StopEventQueue();

// Queued events are kept until a wait returns them; a pending event is
// returned by the wait that dispatched it, or discarded when it was raised
// outside a wait.
void QueueEvent(int code, int control, int window, int detail);
void RaisePending(int code, int control, int window, int detail);
// Drops the pending event, as a control change made by the program itself
// must not reach the next wait.
void DiscardPending();
// PollEvent without the state report: the next event's code, or 0.
int NextEvent(int timeoutMs);

// The property holding a window's number on its top-level widget: how a wait
// tells which window an event went to.
inline constexpr char WindowNumberProperty[] = "kilnWindow";

// --- windows.cpp -----------------------------------------------------------

QWidget* WindowWidget(int number);
// The window new controls go into, or null; its number in *number.
QWidget* ControlParent(int* number);
// Dialog owner: the active window when it is one of ours, else null.
QWidget* DialogOwner();
void DropAllWindows();
// What else goes with a window, run before its widgets go. The controls set
// it, so that a dropped window's controls lose their slots first.
void SetWindowPartsRelease(void (*release)(int window));

// --- controls.cpp, field_controls.cpp, image_view.cpp, choice_controls.cpp --
// (gui/control_records.h holds what they share.)

// The numbers of all controls, slots first, then auto numbers.
std::vector<int> ControlNumbers();
// The widget of control `number` (a spin field's number field) and a spin
// field's arrows; null when none. For the toolkit's own tests.
QWidget* ControlWidget(int number);
QWidget* SpinArrows(int number);

// --- state_report.cpp ------------------------------------------------------

// For end-to-end tests, when KILN_GUI_STATE names a file: the controls'
// texts and values, and the last dialog opened ("file", "message", ...).
void ReportGuiState();
void ReportDialog(std::string_view kind, std::string_view title, std::string_view start);
