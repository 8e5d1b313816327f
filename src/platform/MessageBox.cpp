#include "platform/MessageBox.h"
#include "platform/Handles.h"
#include "platform/Waits.h"
#include "platform/Pump.h"
#include <atomic>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

namespace pb {

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
HWND gOwner = nullptr;

// The box runs on a thread of its own while this thread waits for it, answering and handling
// everything as the box's own loop would. Under Wine's X11 driver with no window manager
// running, a managed window leaving the screen waits two seconds for one (measured: a plain
// program's box does too): that wait now falls on the box's thread, and the window answers.
int ShowOnItsOwnThread(HWND owner, const std::wstring& text, const std::wstring& title,
                       UINT flags) {
    int result = 0;
    std::atomic<bool> done{false};
    const UniqueHandleW closed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::exception_ptr error;
    {
        const std::jthread box([&] {
            result = MessageBoxW(owner, text.c_str(), title.c_str(), flags);
            done = true;
            SetEvent(closed.get());
        });
        // The box asks this thread to enable its owner again as it closes: keep pumping until
        // then, whatever a pumping point raises.
        while (!done) {
            try {
                WaitPumping(
                    closed.get(), [&] { return done.load(); }, WaitInput::Handle);
            } catch (...) {
                error = std::current_exception();
            }
        }
    }
    if (error)
        std::rethrow_exception(error);
    return result;
}
BOOL CALLBACK DisableWindow(HWND w, LPARAM disabled) {
    if (IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        reinterpret_cast<std::vector<HWND>*>(disabled)->push_back(w);
    }
    return TRUE;
}
} // namespace

int ShowMessage(const std::wstring& text, const std::wstring& title, UINT flags) {
    DrawFrame(true); // the box should sit over an up-to-date window
    if (const auto& h = Handler())
        return h(text, title, flags);
    // While the main window is hidden in the tray it cannot own a box; keep the
    // box modal for the whole program then, and in front of the user.
    HWND owner = (gOwner && IsWindowVisible(gOwner)) ? gOwner : nullptr;
    if (owner)
        return ShowOnItsOwnThread(owner, text, title, flags);
    std::vector<HWND> disabled; // what the box's own thread could not disable: ours
    EnumThreadWindows(GetCurrentThreadId(), &DisableWindow, reinterpret_cast<LPARAM>(&disabled));
    struct Enable {
        const std::vector<HWND>& windows;
        ~Enable() {
            for (HWND w : windows)
                EnableWindow(w, TRUE);
        }
    } enable{disabled};
    return ShowOnItsOwnThread(nullptr, text, title, flags | MB_SETFOREGROUND);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void SetMessageBoxOwner(HWND owner) {
    gOwner = owner;
}

} // namespace pb
