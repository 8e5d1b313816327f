#pragma once
// The pump of pending messages: the one place where the window's thread handles what is
// queued for it, at a run's pumping points and in the program's own loop.
#include <windows.h>

namespace pb {

// What the user sees is drawn at most once a frame: a log that gains a line per file would
// otherwise cost Wine a redraw of its scroll bar per line.
constexpr unsigned long kFrameMs = 40;

// One pass of the message pump, a pumping point: handles the held messages whose turn has
// come and every message pending now, then returns. A WM_QUIT met here is put back so the
// main loop still sees it. A pass within 50 microseconds of one that found the queue empty
// does not look again.
void DoEvents();

// The pass of a wait once it wakes: as DoEvents, looking at the queue only when `queued`.
void PumpAfterWait(bool queued);

// Runs the program's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// What the forms put around the pump, which itself knows nothing of windows. A message the
// filter takes (keyboard navigation) is neither translated nor dispatched.
using MessageFilter = bool (*)(MSG& msg);
void SetMessageFilter(MessageFilter filter);
// Called at every pass of the pump and of the waits (drawing at a frame rate): `now` when
// everything held back is due at once, as when the program is idle or a box comes up.
using FrameHook = void (*)(bool now);
void SetFrameHook(FrameHook hook);
void DrawFrame(bool now);

} // namespace pb
