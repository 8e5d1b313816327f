#include "platform/MessageBox.h"
#include "Seams.h"
#include "platform/HeldMessages.h"
#include "platform/Pump.h"
#include "platform/Scoped.h"
#include <utility>

namespace pb {

namespace {
HWND gOwner = nullptr;
int gBoxesUp = 0;

struct BoxUp {
    const ScopedCount<int> up{gBoxesUp};
    const TaskInProgress hold; // the box's own loop is no pumping point
};

BOOL CALLBACK FindBox(HWND w, LPARAM found) {
    wchar_t cls[8] = {};
    // Also a box not shown yet: it shows once its loop first finds the queue empty.
    if (GetClassNameW(w, cls, 8) && lstrcmpW(cls, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace

int ShowMessage(const std::wstring& text, const std::wstring& title, UINT flags) {
    DrawFrame(true); // the box should sit over an up-to-date window
    if (const auto h = seams::messageBox.get())
        return h(text, title, flags);
    const BoxUp up;
    if (gOwner && IsWindowVisible(gOwner))
        return MessageBoxW(gOwner, text.c_str(), title.c_str(), flags);
    // A hidden owner would give the box no taskbar button: hidden in the tray, the box has no
    // owner, disables the thread's windows itself and comes up in front of the user.
    return MessageBoxW(nullptr, text.c_str(), title.c_str(),
                       flags | MB_TASKMODAL | MB_SETFOREGROUND);
}

void SetMessageBoxOwner(HWND owner) {
    gOwner = owner;
}

bool MessageBoxUp() {
    return gBoxesUp > 0;
}

void BringMessageBoxToFront() {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
    if (box)
        SetForegroundWindow(box);
}

} // namespace pb
