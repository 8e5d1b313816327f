#pragma once
#include <cstdint>
#include <functional>

namespace pb {

// One pass of the message pump: handles every message pending now, then
// returns. A WM_QUIT met here is put back so the main loop still sees it. A pass
// within 50 microseconds of one that found the queue empty does not look again.
void DoEvents();

// Called at the start of every pass; tests use it to act at a pumping point.
using PumpHook = std::function<void()>;
PumpHook SetPumpHook(PumpHook hook);

// For long work on the GUI thread between pumping points, called often: at most once every
// 20 ms it answers what other threads and programs sent, and paints. Posted messages, input
// among them, stay queued, and what would start something is held (HoldForPumpingPoint).
void KeepAnswering();

// What a wait for other work does with the window's messages meanwhile.
enum class WaitInput {
    Handle, // every message, as at a pumping point
    Leave,  // only sent messages and painting: clicks and keys stay queued, and what would start
            // something is held (HoldForPumpingPoint)
};

// Asked by a window procedure about a message whose handling would start something: a click's
// command, a menu, a box, a close, a run. While a task works (TaskInProgress) or the window's
// thread waits for other work (WaitInput::Leave, KeepAnswering), and not at a pumping point
// (DoEvents, WaitInput::Handle), such a message is held, even one that came as a sent message,
// and handled at the next pumping point, in its place among the posted messages as if it had
// been posted when it came. True: held, and the procedure handles it no further now.
bool HoldForPumpingPoint(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp);

// For the life of this object a task works: a sent message that would start something waits
// for the task's next pumping point, whatever the task calls meanwhile.
class TaskInProgress {
  public:
    TaskInProgress();
    ~TaskInProgress();
    TaskInProgress(const TaskInProgress&) = delete;
    TaskInProgress& operator=(const TaskInProgress&) = delete;
};
// Waits until done() holds, asking again whenever `wake` (an event handle) is signalled and
// at least once a frame. The window keeps answering other programs and painting throughout.
void WaitPumping(void* wake, const std::function<bool()>& done, WaitInput input);

// Waits `ms` milliseconds as WaitPumping with WaitInput::Leave does.
void SleepAnswering(unsigned long ms);

// Runs `work` on a thread of its own while this, the window's thread, waits as WaitPumping
// with WaitInput::Leave does: the window answers and paints, but no click, key or posted
// message is taken until the caller's next pumping point. An error in `work` is raised here.
void RunAside(const std::function<void()>& work);
// From inside RunAside's `work`: runs `piece` on the window's thread (a message box, say) and
// returns when it is done, raising its error. Anywhere else, on any thread, it simply runs
// `piece` where it is.
void OnWindowThread(const std::function<void()>& piece);

// Runs the program's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Asked of a navigable window before the dialog manager sees a Tab key: lParam points to the
// key's MSG; nonzero when the window moved the focus itself. (WM_APP + 3.)
constexpr unsigned kMsgTabKey = 0x8000 + 3;

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
