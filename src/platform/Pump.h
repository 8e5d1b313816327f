#pragma once
#include <functional>

namespace pb {

// One pass of the message pump: handles every message pending now, then
// returns. A WM_QUIT met here is put back so the main loop still sees it. A pass
// within 50 microseconds of one that found the queue empty does not look again.
void DoEvents();

// Called at the start of every pass; tests use it to act at a pumping point.
using PumpHook = std::function<void()>;
PumpHook SetPumpHook(PumpHook hook);

// What a wait for other work does with the window's messages meanwhile.
enum class WaitInput {
    Handle, // every message, as at a pumping point
    Leave,  // only sent messages and painting: clicks and keys stay queued
};
// Waits until done() holds, asking again whenever `wake` (an event handle) is signalled and
// at least once a frame. The window keeps answering other programs and painting throughout.
void WaitPumping(void* wake, const std::function<bool()>& done, WaitInput input);

// Runs the program's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Dialog-style keyboard navigation (Tab, mnemonics) for these top-level
// windows.
void RegisterDialogNavigation(void* hwnd);
void UnregisterDialogNavigation(void* hwnd);

} // namespace pb

namespace pb {

// Drawing at a frame rate: a window updated many times a frame (the log, the
// status line) has its redraw held off, and the pump resumes it once a frame
// has passed.
void HoldRedraw(void* hwnd);
// Resumes every held window whose frame is due, or all of them when force is
// set.
void ResumeHeldRedraws(bool force);

} // namespace pb
