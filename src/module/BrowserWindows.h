#pragma once
#include <string>
#include <vector>
#include <windows.h>

namespace pb {

// One top-level window as the browser closer lists it.
struct WindowInfo {
    std::wstring WindowTitle;
    int TitleLength = 0;
    HWND WindowHandle = nullptr;
};

extern std::vector<WindowInfo> gWindows;
extern size_t gWindowCount;

BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM);
// True when the title holds "Microsoft Internet Explorer" in any letter case.
bool TitleNamesBrowser(const std::wstring& title);

} // namespace pb
