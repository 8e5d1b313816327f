#include "module/BrowserWindows.h"
#include "module/Tasks.h"
#include "platform/Text.h"
#include <algorithm>
#include <iterator>
#include <windows.h>

namespace pb {

// Every top-level window takes one record; the table grows with the desktop, so
// a browser window is never missed however many windows come before it.
std::vector<WindowInfo> gWindows;
size_t gWindowCount = 0;

namespace {
constexpr wchar_t kBrowserPhrase[] = L"Microsoft Internet Explorer";
// Every version's frame window has this class, whatever its title says: only the oldest
// put the phrase above into their titles.
constexpr wchar_t kFrameClass[] = L"IEFrame";

bool IsBrowserFrame(HWND hwnd) {
    // One more than the name holds, so that a longer class name does not match a prefix.
    wchar_t cls[std::size(kFrameClass) + 1] = {};
    const int got = GetClassNameW(hwnd, cls, static_cast<int>(std::size(cls)));
    // Class names compare without regard to letter case, as the system registers them.
    return got > 0 && CompareStringOrdinal(cls, got, kFrameClass, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

bool TitleNamesBrowser(const std::wstring& title) {
    static const std::wstring phrase = ToLower(kBrowserPhrase);
    return ToLower(title).find(phrase) != std::wstring::npos;
}

BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM) {
    WindowInfo info;
    info.TitleLength = GetWindowTextLengthA(hwnd) + 1; // never below 1: every window is listed
    std::string buffer(static_cast<size_t>(info.TitleLength), ' ');
    const int got = GetWindowTextA(hwnd, buffer.data(), info.TitleLength);
    buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
    info.WindowTitle = Widen(buffer);
    info.WindowHandle = hwnd;
    if (gWindowCount < gWindows.size()) {
        gWindows[gWindowCount].WindowHandle = info.WindowHandle;
        gWindows[gWindowCount].WindowTitle = std::move(info.WindowTitle);
    } else {
        gWindows.push_back({std::move(info.WindowTitle), 0, info.WindowHandle});
    }
    ++gWindowCount;
    return TRUE;
}

void CloseBrowserWindows() {
    gWindowCount = 0;
    std::fill(gWindows.begin(), gWindows.end(), WindowInfo{});
    EnumWindows(&EnumWindowsProc, 0);
    for (size_t j = 0; j < gWindowCount; ++j) {
        const WindowInfo& window = gWindows[j];
        // Either sign is enough, and a window showing both is still asked only once.
        if (TitleNamesBrowser(window.WindowTitle) || IsBrowserFrame(window.WindowHandle))
            PostMessageA(window.WindowHandle, WM_CLOSE, 0, 0);
    }
}

} // namespace pb
