#include "forms/frmMain.h"
#include "Seams.h"
#include "module/modMain.h"
#include "platform/HeldMessages.h"
#include <cstddef>
#include <cstring>
#include <utility>

namespace pb {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == 88, "the first NOTIFYICONDATA layout");
#endif

NOTIFYICONDATAA gTrayIcon{};

namespace {
constexpr char kTip[] = "Purgebox (Right-Click for Menu)";
constexpr size_t kTipField = 64; // the first layout's tip field
bool gIconWanted = false;        // added and not deleted since

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
    Shell_NotifyIconA(NIM_ADD, &gTrayIcon); // a second add is refused: still one icon
    gIconWanted = true;
    ShowWindow(form.hwnd(), SW_HIDE);
}

void DeleteTrayIcon() {
    if (gTrayIcon.cbSize)
        Shell_NotifyIconA(NIM_DELETE, &gTrayIcon);
    gIconWanted = false;
}

void RestoreTrayIcon() {
    if (gIconWanted)
        Shell_NotifyIconA(NIM_ADD, &gTrayIcon);
}

bool TrayIconShown() {
    return gIconWanted;
}

void EndProgram() {
    DeleteTrayIcon();
    if (const auto h = seams::endProgram.get()) {
        h();
        return;
    }
    ExitProcess(0);
}

} // namespace pb
