#include "forms/KeyboardNavigation.h"
#include "platform/Pump.h"
#include "platform/WindowMessages.h"
#include <algorithm>
#include <vector>

namespace pb {

namespace {

std::vector<HWND>& NavigableWindows() {
    static std::vector<HWND> windows;
    return windows;
}

// Before the pump dispatches a key: the form moves the focus on Tab itself (in its creation
// order), the dialog manager does the rest.
bool Navigate(MSG& msg) {
    for (HWND w : NavigableWindows()) {
        if (!IsWindow(w) || (msg.hwnd != w && !IsChild(w, msg.hwnd)))
            continue;
        const bool tab = msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
                         GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
        if (tab && SendMessageW(w, kMsgTabKey, 0, reinterpret_cast<LPARAM>(&msg)))
            return true;
        if (IsDialogMessageW(w, &msg))
            return true;
    }
    return false;
}

} // namespace

void RegisterDialogNavigation(HWND form) {
    SetMessageFilter(&Navigate);
    NavigableWindows().push_back(form);
}

void UnregisterDialogNavigation(HWND form) {
    auto& v = NavigableWindows();
    v.erase(std::remove(v.begin(), v.end(), form), v.end());
}

} // namespace pb
