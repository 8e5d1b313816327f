// The text box's own procedure: its menu waits for a task's pumping point like the form's.
#include "forms/Controls.h"
#include <commctrl.h>

namespace pb {

namespace {

// A text box, the one standard control with a menu of its own: the menu waits, like the form's,
// for a task's pumping point. A read-only box wants neither Enter nor Escape: a multi-line box
// would otherwise close the window on Escape, and the window's close ends the program. (Only
// here: under Wine every message to a subclassed control costs a round trip to the server.)
LRESULT CALLBACK TextBoxProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR readOnly) {
    if (HeldUntilPumpingPoint(hwnd, msg, wp, lp))
        return 0;
    if (msg == WM_GETDLGCODE && readOnly)
        return DefSubclassProc(hwnd, msg, wp, lp) & ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, &TextBoxProcedure, 2);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

} // namespace

void WaitWithItsMenu(HWND textBox, bool readOnly) {
    SetWindowSubclass(textBox, &TextBoxProcedure, 2, readOnly);
}

} // namespace pb
