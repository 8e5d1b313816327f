#include "platform/HeldMessages.h"
#include "platform/MessageWindow.h"
#include "platform/WindowMessages.h"
#include <algorithm>
#include <deque>
#include <iterator>
#include <utility>

namespace pb {

namespace {

// A message held while a task works, and whether its place among the posted messages has come.
struct HeldMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    WPARAM number;
    bool due;
};
struct Hold {
    // Inside a task or a task's wait, and not at a pumping point: starting anything waits.
    int holding = 0;
    std::deque<HeldMessage> messages;
    WPARAM numbered = 0;
    bool ending = false;
};
Hold& TheHold() {
    static Hold hold;
    return hold;
}

// The place a held message took among the posted messages has come: it and all held before it.
void MarkDue(WPARAM number) {
    Hold& hold = TheHold();
    const auto it = std::find_if(hold.messages.begin(), hold.messages.end(),
                                 [number](const HeldMessage& m) { return m.number == number; });
    if (it != hold.messages.end())
        for (auto m = hold.messages.begin(); m != std::next(it); ++m)
            m->due = true;
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgHeldDue) {
        MarkDue(wp);
        HandleDueMessages();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A message-only window on the window's thread, where each held message posts its place in
// the queue.
HWND PlaceKeeper() {
    static const HWND window = MessageOnlyWindow(L"PurgeboxHeldMessages", &Procedure);
    return window;
}

} // namespace

bool HoldForPumpingPoint(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
    Hold& hold = TheHold();
    if (hold.ending)
        return true; // dropped
    if (hold.holding == 0)
        return false;
    const WPARAM number = ++hold.numbered;
    hold.messages.push_back({static_cast<HWND>(hwnd), msg, wp, lp, number, false});
    // The mark comes up among the posted messages in the order the message came: at the next
    // pumping point, or in a box's loop, which only notes it as due.
    if (!PostMessageW(PlaceKeeper(), kMsgHeldDue, number, 0))
        hold.messages.back().due = true; // a full queue: first thing at the next pumping point
    return true;
}

void HandleDueMessages() {
    Hold& hold = TheHold();
    if (hold.ending)
        hold.messages.clear();
    while (hold.holding == 0 && !hold.messages.empty() && hold.messages.front().due) {
        const HeldMessage m = hold.messages.front();
        hold.messages.pop_front();
        if (IsWindow(m.hwnd))
            SendMessageW(m.hwnd, m.msg, m.wp, m.lp);
    }
}

TaskInProgress::TaskInProgress() : holding_(TheHold().holding) {}
TaskInProgress::~TaskInProgress() {
    // Marks taken meanwhile (in a box's loop) found the hold on; the window's own loop may be
    // waiting for posted messages only, so it is woken to replay them.
    const Hold& hold = TheHold();
    if (hold.holding == 1 && !hold.messages.empty() && hold.messages.front().due)
        PostMessageW(PlaceKeeper(), kMsgHeldDue, 0, 0);
}

EndingAfterError::EndingAfterError() : ending_(TheHold().ending, true) {}
bool ProgramEnding() {
    return TheHold().ending;
}

PumpingPoint::PumpingPoint() : holding_(TheHold().holding, 0) {}

} // namespace pb
