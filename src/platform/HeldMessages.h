#pragma once
// Messages that would start something, held while a task works until its next pumping point.
//
// How a held message travels. While a task works (TaskInProgress, a wait for other work, a
// message box) the window's thread still answers what is sent to it, and so may be handed a
// click's command, a tray callback or a close. The one gate (HeldUntilPumpingPoint, asked by the
// window procedure before any handler) asks the form whether the message starts something; if
// so, HoldForPumpingPoint keeps a copy and posts a numbered mark to a message-only window, the
// place keeper: the mark takes the message's place among the posted messages. Posted messages
// are taken only at a pumping point (or in a box's loop, which only notes the mark as due). At
// the next pumping point the pump hands the mark to the place keeper, which marks that message
// and every one held before it as due, and replays the due ones, in the order they came, by
// sending each to the window it came to, where the gate now lets it through.
#include "platform/Scoped.h"
#include <cstdint>

namespace pb {

// Asked by a window procedure about a message whose handling would start something: a click's
// command, a menu, a box, a close, a run. While a task works (TaskInProgress) or the window's
// thread waits for other work, and not at a pumping point, such a message is held, even one
// that came as a sent message, and handled at the next pumping point, in its place among the
// posted messages as if it had been posted when it came. True: held, and the procedure
// handles it no further now.
bool HoldForPumpingPoint(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp);

// For the life of this object a task works: a sent message that would start something waits
// for the task's next pumping point, whatever the task calls meanwhile.
class TaskInProgress {
  public:
    TaskInProgress();
    ~TaskInProgress();
    TaskInProgress(const TaskInProgress&) = delete;
    TaskInProgress& operator=(const TaskInProgress&) = delete;

  private:
    ScopedCount<int> holding_;
};

// For the life of this object the window's thread is at a pumping point: what it handles runs
// now, and the tasks of a run nested here hold anew.
class PumpingPoint {
  public:
    PumpingPoint();

  private:
    ScopedValue<int> holding_;
};

// At a pumping point: handles the held messages whose place in the queue has come, in the
// order they came.
void HandleDueMessages();

// For the life of this object the program is ending after an error: nothing starts any more,
// neither what was held nor what comes, whatever the error's box or a wait handles meanwhile.
class EndingAfterError {
  public:
    EndingAfterError();

  private:
    ScopedValue<bool> ending_;
};
bool ProgramEnding();

} // namespace pb
