#include "forms/frmMain.h"
#include "Seams.h"
#include "module/Tasks.h"
#include "module/Tray.h"
#include "history/HistoryCleanser.h"
#include "platform/MessageBox.h"
#include "platform/HeldMessages.h"
#include <cstddef>
#include <cstring>
#include <utility>

namespace pb {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == 88, "the first NOTIFYICONDATA layout");
#endif

bool gQuitOnUnload = false;
NOTIFYICONDATAA gTrayIcon{};

namespace {
constexpr char kTip[] = "Purgebox (Right-Click for Menu)";
constexpr size_t kTipField = 64; // the first layout's tip field
bool gIconWanted = false;        // asked for and not deleted since

BOOL NotifyIcon(DWORD message) {
    if (const auto h = seams::notifyIcon.get())
        return h(message, &gTrayIcon);
    return Shell_NotifyIconA(message, &gTrayIcon);
}

// Whether the icon is in the notification area now. The shell refuses a second add, and an add
// that timed out may still have put it there: then it can be modified.
bool ShowIcon() {
    return NotifyIcon(NIM_ADD) || NotifyIcon(NIM_MODIFY);
}

// Hidden only behind an icon: without one (no shell yet, or a busy one) a hidden window could
// not be reached again, so it waits minimised on the taskbar until a shell starts.
void HideBehindIcon(HWND window) {
    if (ShowIcon())
        ShowWindow(window, SW_HIDE);
    else if (!IsIconic(window))
        ShowWindow(window, SW_MINIMIZE); // comes back here, already minimised
}

} // namespace

void MinimizeToTray() {
    if (ProgramEnding())
        return; // the icon was removed for good
    const FrmMain& form = MainForm();
    gTrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    gTrayIcon.hWnd = form.Picture1->hwnd();
    gTrayIcon.uID = 1;
    gTrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    gTrayIcon.uCallbackMessage = WM_MOUSEMOVE;
    gTrayIcon.hIcon = form.Picture1->picture().icon;
    // Left-aligned in the field: the text, one NUL, blanks to the end.
    std::memset(gTrayIcon.szTip, ' ', kTipField);
    std::memcpy(gTrayIcon.szTip, kTip, sizeof kTip);
    gIconWanted = true;
    HideBehindIcon(form.hwnd());
}

void DeleteTrayIcon() {
    if (gTrayIcon.cbSize)
        NotifyIcon(NIM_DELETE);
    gIconWanted = false;
}

void RestoreTrayIcon() {
    if (!gIconWanted || ProgramEnding())
        return;
    // Also a window still minimised for want of a shell goes to the tray now; one the user has
    // brought back from the taskbar meanwhile stays.
    const HWND window = MainForm().hwnd();
    if (MessageBoxUp())
        ShowIcon(); // the box would go with the window; a click on the icon brings it back
    else if (!IsWindowVisible(window) || IsIconic(window))
        HideBehindIcon(window);
}

void EndProgram() {
    DeleteTrayIcon();
    if (const auto h = seams::endProgram.get()) {
        h();
        return;
    }
    // What the window made goes before the process does, as when its loop ends: the history's
    // COM objects, and with the window the browser control.
    gCleanser.reset();
    DestroyWindow(MainForm().hwnd());
    ExitProcess(0);
}

} // namespace pb
