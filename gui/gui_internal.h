// What the toolkit's Qt half shares between its files. Not for programs.
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

// Texts longer than this are cut (at a character boundary) on the way in and
// out, as the original edit controls hold at most this much.
inline constexpr std::size_t GuiTextMaxBytes = 32767;

QString ToQt(std::string_view text);
std::string FromQt(const QString& text);

// Start-up: the application whose top-level dispatches the event queue
// counts, the queue's own state, and the controls' look.
std::unique_ptr<QApplication> MakeCountingApplication(int& argc, char** argv);
void StartEventQueue();
void StopEventQueue();
void ApplyLook();
void DropLook();

// Event state. Queued events are kept until a wait returns them; a pending
// event is returned by the wait that dispatched it, or discarded when it was
// raised outside a wait.
void QueueEvent(int code, int control, int window, int detail);
void RaisePending(int code, int control, int window, int detail);
// The window whose events are being handled, for the wait's window value.
void NoteCurrentWindow(int window);

// Windows.
QWidget* WindowWidget(int number);
// The window new controls go into, or null; its number in *number.
QWidget* ControlParent(int* number);
// Whether a widget belongs to one of our windows; its number in *number.
bool WindowNumberOf(const QWidget* widget, int* number);
void DropAllWindows();
// Controls of a dropped window lose their slots before its widgets go.
void ReleaseControlsOf(int window);
void ReleaseAllControls();
const QFont& ControlFont();

// Dialog owner: the active window when it is one of ours, else null.
QWidget* DialogOwner();

// A copy of an image's pixels for painting; null image when none.
QImage ImageForPainting(ImageHandleValue handle);

// Drops the pending event, as a control change made by the program itself
// must not reach the next wait.
void DiscardPending();

// The numbers of all controls, slots first, then auto numbers.
std::vector<int> ControlNumbers();

// For end-to-end tests, when KILN_GUI_STATE names a file: the controls'
// texts and values, and the last dialog opened ("file", "message", ...).
void ReportGuiState();
void ReportDialog(std::string_view kind, std::string_view title, std::string_view start);

// The widget of control `number` (a spin field's number field) and a spin
// field's arrows; null when none. For the toolkit's own tests.
QWidget* ControlWidget(int number);
QWidget* SpinArrows(int number);
