#pragma once
// Waits of the window's thread while other work goes on: the window keeps answering other
// programs and painting, and takes no click, key or posted message unless told to.
//
// The waits, what each answers and what it holds:
// - a pumping point (DoEvents, the program's own loop): handles everything; nothing is held.
// - WaitPumping with WaitInput::All: as a pumping point, for as long as the wait lasts.
// - WaitPumping with WaitInput::AnswerOnly, SleepAnswering, RunOnWorkerThread: answer what other
//   threads and programs send, and paint; clicks, keys and posted messages stay queued, and a
//   sent message that would start something is held until the next pumping point.
// - KeepAnswering: as AnswerOnly, between pieces of long work on the window's thread.
// - A message box (MessageBox.h): its own loop handles everything, but holds what would start
//   something as AnswerOnly does.
#include <functional>

namespace pb {

// What a wait for other work does with the window's messages meanwhile.
enum class WaitInput {
    All,        // every message, as at a pumping point
    AnswerOnly, // only sent messages and painting: clicks and keys stay queued, and what would
                // start something is held (HoldForPumpingPoint)
};
// Waits until done() holds, asking again whenever `wake` (an event handle) is signalled and
// at least once a frame. The window keeps answering other programs and painting throughout.
void WaitPumping(void* wake, const std::function<bool()>& done, WaitInput input);

// Waits `ms` milliseconds as WaitPumping with WaitInput::AnswerOnly does.
void SleepAnswering(unsigned long ms);

// For long work on the window's thread between pumping points, called often: at most once
// every 20 ms it answers what other threads and programs sent, and paints. Posted messages,
// input among them, stay queued, and what would start something is held.
void KeepAnswering();

// Runs `work` on a thread of its own while this, the window's thread, waits as WaitPumping
// with WaitInput::AnswerOnly does: the window answers and paints, but no click, key or posted
// message is taken until the caller's next pumping point. An error in `work` is raised here.
void RunOnWorkerThread(const std::function<void()>& work);
// From inside RunOnWorkerThread's `work`: runs `piece` on the window's thread (a message box, say)
// and returns when it is done, raising its error. Anywhere else, on any thread, it simply runs
// `piece` where it is.
void RunOnWindowThread(const std::function<void()>& piece);

} // namespace pb
