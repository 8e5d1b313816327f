#include "platform/MessageBox.h"
#include "platform/Pump.h"
#include <utility>

namespace pb {

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
HWND gOwner = nullptr;
} // namespace

int ShowMessage(const std::wstring& text, const std::wstring& title, UINT flags) {
    ResumeHeldRedraws(true); // the box should sit over an up-to-date window
    if (const auto& h = Handler())
        return h(text, title, flags);
    // While the main window is hidden in the tray it cannot own a box; keep the
    // box modal for the whole program then, and in front of the user.
    HWND owner = (gOwner && IsWindowVisible(gOwner)) ? gOwner : nullptr;
    if (!owner)
        flags |= MB_TASKMODAL | MB_SETFOREGROUND;
    return MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void SetMessageBoxOwner(HWND owner) {
    gOwner = owner;
}

} // namespace pb
