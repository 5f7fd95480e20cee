// The program's waits: the event queue's next event, with the state report
// written before it (what the last handler left) and after one that comes.
#include "gui/gui_internal.h"

int PollEvent(int timeoutMs) {
  ReportGuiState();
  const int code = NextEvent(timeoutMs);
  if (code != 0) ReportGuiState();
  return code;
}

int WaitForEvent() { return PollEvent(-1); }
