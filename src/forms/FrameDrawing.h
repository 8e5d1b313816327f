#pragma once
// Drawing at a frame rate: a window updated many times a frame (the log, the status line) has
// its redraw held off, and the pump resumes it once a frame has passed.
#include <windows.h>

namespace pb {

void HoldRedraw(HWND window);
// Resumes every held window whose frame is due, or all of them when `now` is set.
void ResumeHeldRedraws(bool now);

} // namespace pb
