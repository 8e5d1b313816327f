// The forms' dialog behaviour: the tab order, the default push button and where the focus goes.
#include "forms/Form.h"
#include "platform/WindowMessages.h"
#include <commctrl.h>
#include <algorithm>

namespace pb {

namespace {

LRESULT CALLBACK ButtonFocusWatcher(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                    DWORD_PTR) {
    const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_SETFOCUS)
        SendMessageW(GetParent(hwnd), kMsgButtonFocus, TRUE, reinterpret_cast<LPARAM>(hwnd));
    else if (msg == WM_KILLFOCUS)
        SendMessageW(GetParent(hwnd), kMsgButtonFocus, FALSE, static_cast<LPARAM>(wp));
    else if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, &ButtonFocusWatcher, 1);
    return r;
}

bool IsPushButton(const wchar_t* cls, DWORD style) {
    const DWORD type = style & BS_TYPEMASK;
    return lstrcmpiW(cls, L"BUTTON") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

} // namespace

void Form::TrackPushButton(HWND control, const wchar_t* cls, DWORD style) {
    if (!IsPushButton(cls, style))
        return;
    pushButtons_.push_back(control);
    SetWindowSubclass(control, &ButtonFocusWatcher, 1, 0);
}

void Form::SetDefaultButton(int id) {
    defaultButton_ = id;
    const HWND focus = GetFocus();
    if (std::find(pushButtons_.begin(), pushButtons_.end(), focus) == pushButtons_.end())
        ShowAsDefault(id ? GetDlgItem(hwnd_, id) : nullptr);
}

void Form::ShowAsDefault(HWND button) {
    for (const HWND b : pushButtons_) {
        const DWORD style = GetWindowLongW(b, GWL_STYLE);
        const DWORD type = b == button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if ((style & BS_TYPEMASK) != type)
            SendMessageW(b, BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | type, TRUE);
    }
}

// As in a dialog: the focused push button is the one Enter presses, and looks it; once the
// focus leaves the push buttons, the window's default button is again.
void Form::OnButtonFocus(bool gained, HWND buttonOrNext) {
    if (gained)
        ShowAsDefault(buttonOrNext);
    else if (std::find(pushButtons_.begin(), pushButtons_.end(), buttonOrNext) ==
             pushButtons_.end())
        ShowAsDefault(defaultButton_ ? GetDlgItem(hwnd_, defaultButton_) : nullptr);
}

// Tab and Shift+Tab follow the creation order, as designed, also where a control was raised
// above another that it overlaps (the dialog manager would follow the z-order).
bool Form::MoveFocusByTab(const MSG& key) {
    const HWND focus = GetFocus();
    if (!focus || !IsChild(hwnd_, focus) ||
        (SendMessageW(focus, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&key)) & DLGC_WANTTAB))
        return false;
    return MoveFocusOn(focus, GetKeyState(VK_SHIFT) < 0);
}

bool Form::MoveFocusOn(HWND from, bool back) {
    while (from && GetParent(from) != hwnd_)
        from = GetParent(from);
    const auto at = std::find(tabOrder_.begin(), tabOrder_.end(), from);
    if (at == tabOrder_.end())
        return false;
    const size_t n = tabOrder_.size(), i = static_cast<size_t>(at - tabOrder_.begin());
    for (size_t k = 1; k < n; ++k) {
        const HWND next = tabOrder_[back ? (i + n - k) % n : (i + k) % n];
        if (IsWindowVisible(next) && IsWindowEnabled(next) &&
            (GetWindowLongW(next, GWL_STYLE) & WS_TABSTOP)) {
            SetFocus(next);
            return true;
        }
    }
    return false;
}

void Form::HideControl(const WindowRef& control) {
    // As in a dialog, the focus goes on to the next control rather than to nowhere.
    if (GetFocus() == control.hwnd())
        MoveFocusOn(control.hwnd(), false);
    control.SetVisible(false);
}

} // namespace pb
