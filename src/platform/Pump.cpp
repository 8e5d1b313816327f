#include "platform/Pump.h"
#include "Seams.h"
#include "platform/HeldMessages.h"
#include <utility>

namespace pb {

namespace {

MessageFilter gFilter = nullptr;
FrameHook gFrame = nullptr;

void Dispatch(MSG& msg) {
    if (gFilter && gFilter(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// When the queue was last found empty.
LONGLONG& LastEmptyQueue() {
    static LONGLONG ticks = 0;
    return ticks;
}

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// Looking at the queue costs a round trip to the server under Wine (about 40 us), and a purge
// pumps twice per file, the second time right after the first. A queue found empty less than
// this long ago is not looked at again: what arrives meanwhile waits for the next pump, a
// fraction of a millisecond.
LONGLONG RecheckTicks() {
    static const LONGLONG ticks = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart / 20000; // 50 us
    }();
    return ticks;
}

void PumpPending() {
    HandleDueMessages(); // their places in the queue came while a task worked
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
    LastEmptyQueue() = Now();
}

} // namespace

void DoEvents() {
    PumpAfterWait(Now() - LastEmptyQueue() >= RecheckTicks());
}

void PumpAfterWait(bool queued) {
    const PumpingPoint here;
    if (const auto h = seams::pumpingPoint.get())
        h();
    DrawFrame(false);
    if (queued)
        PumpPending();
    else
        HandleDueMessages();
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        const PumpingPoint here; // the program's own loop: no task works here
        HandleDueMessages();
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            DrawFrame(true); // idle: show everything that was held back
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
            break;
        Dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

void SetMessageFilter(MessageFilter filter) {
    gFilter = filter;
}

void SetFrameHook(FrameHook hook) {
    gFrame = hook;
}

void DrawFrame(bool now) {
    if (gFrame)
        gFrame(now);
}

} // namespace pb
