#include "forms/Window.h"
#include "platform/Errors.h"
#include "platform/HeldMessages.h"
#include "platform/WindowMessages.h"
#include <commctrl.h>
#include <vector>

namespace pb {

void WindowRef::SetVisible(bool visible) const {
    if (Visible() != visible)
        ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

std::wstring WindowRef::Text() const {
    const int n = GetWindowTextLengthW(hwnd_);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd_, s.data(), n + 1);
    s.resize(static_cast<size_t>(got));
    return s;
}

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Window::RegisterClassOnce(const wchar_t* className, HICON icon, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = &Window::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

void Window::CreateWindowFor(const wchar_t* className, const wchar_t* text, DWORD style,
                             DWORD exStyle, const RECT& rc, HWND parent, int id) {
    CreateWindowExW(exStyle, className, text, style, rc.left, rc.top, rc.right - rc.left,
                    rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                    GetModuleHandleW(nullptr), this);
    if (!hwnd_)
        throw std::runtime_error("CreateWindowEx failed");
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

bool Window::StartsSomething(UINT, WPARAM, LPARAM) const {
    return false;
}

bool HeldUntilPumpingPoint(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const HWND top = GetAncestor(hwnd, GA_ROOT);
    const auto* form = reinterpret_cast<const Window*>(GetWindowLongPtrW(top, GWLP_USERDATA));
    return form && form->StartsSomething(msg, wp, lp) && HoldForPumpingPoint(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        if (HeldUntilPumpingPoint(hwnd, msg, wp, lp))
            return 0; // a task works: this comes at the run's next pumping point
        const LRESULT r = self->HandleMessage(msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return r;
    } catch (const std::exception& e) {
        ReportFatalError(e);
    } catch (...) {
        ReportFatalUnknown();
    }
    return 0; // only a test that took the ending comes here
}

HWND CreateChildControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                        DWORD exStyle, const RECT& rc, int id, HFONT font) {
    HWND h = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_CLIPSIBLINGS | style, rc.left,
                             rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!h)
        throw std::runtime_error("cannot create a control");
    if (font)
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

namespace {
LRESULT CALLBACK MouseForwarder(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_MOUSEMOVE)
        SendMessageW(GetParent(hwnd), kMsgChildMouseMove, GetDlgCtrlID(hwnd), lp);
    else if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, &MouseForwarder, 1);
    return DefSubclassProc(hwnd, msg, wp, lp);
}
} // namespace

void ForwardMouseMoves(HWND control) {
    SetWindowSubclass(control, &MouseForwarder, 1, 0);
}

} // namespace pb
