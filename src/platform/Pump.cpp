#include "platform/Pump.h"
#include "platform/Handles.h"
#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <thread>
#include <utility>
#include <vector>
#include <windows.h>

namespace pb {

namespace {
PumpHook& Hook() {
    static PumpHook hook;
    return hook;
}
constexpr DWORD kFrameMs = 40;

struct Held {
    HWND hwnd;
    bool held;
    DWORD since; // when held, the time of the hold; else the time of the last
                 // resume
};
std::vector<Held>& HeldWindows() {
    static std::vector<Held> windows;
    return windows;
}

std::vector<HWND>& NavigableWindows() {
    static std::vector<HWND> windows;
    return windows;
}

void Dispatch(MSG& msg) {
    for (HWND w : NavigableWindows()) {
        if (!IsWindow(w) || (msg.hwnd != w && !IsChild(w, msg.hwnd)))
            continue;
        const bool tab = msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
                         GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
        if (tab && SendMessageW(w, kMsgTabKey, 0, reinterpret_cast<LPARAM>(&msg)))
            return;
        if (IsDialogMessageW(w, &msg))
            return;
    }
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
constexpr UINT kMsgRunPiece = WM_APP + 4; // lParam: the std::function<void()> to run
constexpr UINT kMsgHeldDue = WM_APP + 5;  // wParam: the number of a held message

// A message held in a task's wait, and whether its place among the posted messages has come.
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
};
Hold& TheHold() {
    static Hold hold;
    return hold;
}

// Handles the held messages whose turn has come, in the order they came; not while a task works.
void HandleDueMessages() {
    Hold& hold = TheHold();
    while (hold.holding == 0 && !hold.messages.empty() && hold.messages.front().due) {
        const HeldMessage m = hold.messages.front();
        hold.messages.pop_front();
        if (IsWindow(m.hwnd))
            SendMessageW(m.hwnd, m.msg, m.wp, m.lp);
    }
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

thread_local bool tAsideWork = false; // this thread runs RunAside's work

LRESULT CALLBACK PumpProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgRunPiece) {
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    }
    if (msg == kMsgHeldDue) {
        MarkDue(wp);
        HandleDueMessages();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A message-only window on the window's thread: aside work sends its pieces there, and each
// held message posts its place in the queue there.
HWND PumpWindow() {
    static const HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &PumpProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PurgeboxPump";
        RegisterClassW(&wc);
        return CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    }();
    return window;
}

// A pumping point: what it dispatches runs now, a nested run's tasks holding anew.
class PumpingPoint {
  public:
    PumpingPoint() : saved_(std::exchange(TheHold().holding, 0)) {}
    ~PumpingPoint() { TheHold().holding = saved_; }
    PumpingPoint(const PumpingPoint&) = delete;
    PumpingPoint& operator=(const PumpingPoint&) = delete;

  private:
    int saved_;
};
} // namespace

TaskInProgress::TaskInProgress() {
    ++TheHold().holding;
}
TaskInProgress::~TaskInProgress() {
    --TheHold().holding;
}

bool HoldForPumpingPoint(void* hwnd, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
    Hold& hold = TheHold();
    if (hold.holding == 0)
        return false;
    const WPARAM number = ++hold.numbered;
    hold.messages.push_back({static_cast<HWND>(hwnd), msg, wp, lp, number, false});
    // Posted messages are not taken while a task waits: the mark comes up at the next pumping
    // point, in the order the message came.
    if (!PostMessageW(PumpWindow(), kMsgHeldDue, number, 0))
        hold.messages.back().due = true; // a full queue: first thing at the next pumping point
    return true;
}

void HoldRedraw(void* window) {
    const HWND h = static_cast<HWND>(window);
    const DWORD now = GetTickCount();
    auto& v = HeldWindows();
    auto it = std::find_if(v.begin(), v.end(), [h](const Held& x) { return x.hwnd == h; });
    if (it == v.end()) {
        v.push_back({h, false, now});
        return; // the first update draws at once
    }
    if (it->held)
        return;
    if (now - it->since >= kFrameMs) {
        it->since = now; // a frame is due: this update draws, the next ones wait
        return;
    }
    SendMessageW(h, WM_SETREDRAW, FALSE, 0);
    it->held = true;
    it->since = now;
}

void ResumeHeldRedraws(bool force) {
    const DWORD now = GetTickCount();
    auto& v = HeldWindows();
    std::erase_if(v, [](const Held& x) { return !IsWindow(x.hwnd); });
    for (Held& x : v) {
        if (!x.held || (!force && now - x.since < kFrameMs))
            continue;
        x.held = false;
        x.since = now;
        SendMessageW(x.hwnd, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(x.hwnd, nullptr, TRUE);
    }
}

namespace {
void PumpPending() {
    const PumpingPoint here;
    HandleDueMessages(); // their places in the queue came while a task waited
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
    const DWORD mask = input == WaitInput::Handle ? QS_ALLINPUT : QS_SENDMESSAGE | QS_PAINT;
    const DWORD handles = event ? 1 : 0;
    const DWORD r = MsgWaitForMultipleObjectsEx(handles, &event, timeoutMs, mask, 0);
    ResumeHeldRedraws(false);
    if (input == WaitInput::Leave) {
        AnswerSentAndPaint();
        return;
    }
    const PumpingPoint here;
    if (const PumpHook h = Hook())
        h();
    if (r == WAIT_OBJECT_0 + handles)
        PumpPending();
    else
        HandleDueMessages();
}
} // namespace

void DoEvents() {
    const PumpingPoint here;
    if (const PumpHook h = Hook()) // a copy: the hook may replace itself
        h();
    ResumeHeldRedraws(false);
    if (Now() - LastEmptyQueue() < RecheckTicks()) {
        HandleDueMessages();
        return;
    }
    PumpPending();
}

void SleepAnswering(unsigned long ms) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start)
        WaitOnce(nullptr, std::min<DWORD>(ms - waited, kFrameMs), WaitInput::Leave);
}

void RunAside(const std::function<void()>& work) {
    PumpWindow(); // made here, on the window's thread, before the work can send to it
    std::exception_ptr error;
    std::atomic<bool> done{false};
    const UniqueHandleW finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        const std::jthread worker([&] {
            tAsideWork = true;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
            SetEvent(finished.get());
        });
        WaitPumping(
            finished.get(), [&] { return done.load(); }, WaitInput::Leave);
    }
    if (error)
        std::rethrow_exception(error);
}

void OnWindowThread(const std::function<void()>& piece) {
    if (!tAsideWork) {
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
    SendMessageW(PumpWindow(), kMsgRunPiece, 0, reinterpret_cast<LPARAM>(&guarded));
    if (error)
        std::rethrow_exception(error);
}

void KeepAnswering() {
    static DWORD last = 0;
    const DWORD now = GetTickCount();
    if (now - last < 20)
        return;
    last = now;
    ResumeHeldRedraws(false);
    AnswerSentAndPaint();
}

void WaitPumping(void* wake, const std::function<bool()>& done, WaitInput input) {
    while (!done())
        WaitOnce(static_cast<HANDLE>(wake), kFrameMs, input);
}

PumpHook SetPumpHook(PumpHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        const PumpingPoint here; // the program's own loop: no task works here
        HandleDueMessages();
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            ResumeHeldRedraws(true); // idle: show everything that was held back
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
            break;
        Dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

void RegisterDialogNavigation(void* hwnd) {
    NavigableWindows().push_back(static_cast<HWND>(hwnd));
}

void UnregisterDialogNavigation(void* hwnd) {
    auto& v = NavigableWindows();
    v.erase(std::remove(v.begin(), v.end(), static_cast<HWND>(hwnd)), v.end());
}

} // namespace pb
