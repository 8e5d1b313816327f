#include "forms/FrameDrawing.h"
#include "platform/Pump.h"
#include <algorithm>
#include <vector>

namespace pb {

namespace {

struct Held {
    HWND hwnd;
    bool held;
    DWORD since; // when held, the time of the hold; else the time of the last resume
};
std::vector<Held>& HeldWindows() {
    static std::vector<Held> windows;
    return windows;
}

} // namespace

void HoldRedraw(HWND h) {
    SetFrameHook(&ResumeHeldRedraws); // the pump resumes them
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

void ResumeHeldRedraws(bool now) {
    const DWORD tick = GetTickCount();
    auto& v = HeldWindows();
    std::erase_if(v, [](const Held& x) { return !IsWindow(x.hwnd); });
    for (Held& x : v) {
        if (!x.held || (!now && tick - x.since < kFrameMs))
            continue;
        x.held = false;
        x.since = tick;
        SendMessageW(x.hwnd, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(x.hwnd, nullptr, TRUE);
    }
}

} // namespace pb
