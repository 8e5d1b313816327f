#include "platform/Waits.h"
#include "platform/Handles.h"
#include "platform/HeldMessages.h"
#include "platform/Pump.h"
#include "platform/MessageWindow.h"
#include "platform/WindowMessages.h"
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace pb {

namespace {

thread_local bool tWorkerThread = false; // this thread runs RunOnWorkerThread's work

LRESULT CALLBACK WindowThreadProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgRunPiece) {
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A message-only window on the window's thread, which worker threads send their pieces to.
HWND WindowThreadTarget() {
    static const HWND window = MessageOnlyWindow(L"PurgeboxWindowThread", &WindowThreadProcedure);
    return window;
}

// Answers what other threads and programs sent, and paints; posted messages, input
// among them, stay queued, and what would start something is held.
void AnswerSentAndPaint() {
    const TaskInProgress waiting; // a wait for other work is no pumping point
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageW(&msg);
}

// Waits for the event (if any), a message of the kind `input` takes, or the timeout; then
// handles what it takes.
void WaitOnce(HANDLE event, DWORD timeoutMs, WaitInput input) {
    const DWORD mask = input == WaitInput::All ? QS_ALLINPUT : QS_SENDMESSAGE | QS_PAINT;
    const DWORD handles = event ? 1 : 0;
    const DWORD r = MsgWaitForMultipleObjectsEx(handles, &event, timeoutMs, mask, 0);
    if (input == WaitInput::AnswerOnly) {
        DrawFrame(false);
        AnswerSentAndPaint();
        return;
    }
    PumpAfterWait(r == WAIT_OBJECT_0 + handles);
}

} // namespace

void WaitPumping(void* wake, const std::function<bool()>& done, WaitInput input) {
    while (!done())
        WaitOnce(static_cast<HANDLE>(wake), kFrameMs, input);
}

void SleepAnswering(unsigned long ms) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start)
        WaitOnce(nullptr, std::min<DWORD>(ms - waited, kFrameMs), WaitInput::AnswerOnly);
}

void KeepAnswering() {
    static DWORD last = 0;
    const DWORD now = GetTickCount();
    if (now - last < 20)
        return;
    last = now;
    DrawFrame(false);
    AnswerSentAndPaint();
}

void RunOnWorkerThread(const std::function<void()>& work) {
    WindowThreadTarget(); // made here, on the window's thread, before the work can send to it
    std::exception_ptr error;
    std::atomic<bool> done{false};
    const UniqueKernelHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        const std::jthread worker([&] {
            tWorkerThread = true;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
            SetEvent(finished.get());
        });
        WaitPumping(
            finished.get(), [&] { return done.load(); }, WaitInput::AnswerOnly);
    }
    if (error)
        std::rethrow_exception(error);
}

void RunOnWindowThread(const std::function<void()>& piece) {
    if (!tWorkerThread) {
        piece();
        return;
    }
    std::exception_ptr error;
    const std::function<void()> guarded = [&] {
        try {
            piece();
        } catch (...) {
            error = std::current_exception();
        }
    };
    SendMessageW(WindowThreadTarget(), kMsgRunPiece, 0, reinterpret_cast<LPARAM>(&guarded));
    if (error)
        std::rethrow_exception(error);
}

} // namespace pb
