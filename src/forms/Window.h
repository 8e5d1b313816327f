#pragma once
#include "platform/WindowMessages.h"
#include <string>
#include <windows.h>

namespace pb {

// A non-owning view of a window with the few operations the forms need.
class WindowRef {
  public:
    WindowRef() = default;
    explicit WindowRef(HWND h) : hwnd_(h) {}
    HWND hwnd() const { return hwnd_; }
    bool Visible() const { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
    void SetVisible(bool visible) const;
    std::wstring Text() const;
    void SetText(const std::wstring& text) const { SetWindowTextW(hwnd_, text.c_str()); }
    int Id() const { return GetDlgCtrlID(hwnd_); }

  protected:
    HWND hwnd_ = nullptr;
};

// A window whose messages go to a C++ object: the object is kept in
// GWLP_USERDATA from WM_NCCREATE on, and one static procedure forwards to the
// member handler. Errors never cross the procedure: they go to the top-level
// handler.
class Window : public WindowRef {
  public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

  protected:
    Window() = default;
    static void RegisterClassOnce(const wchar_t* className, HICON icon = nullptr, UINT style = 0);
    void CreateWindowFor(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                         const RECT& rc, HWND parent, int id);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// Creates a standard control as a child; its position comes in pixels.
HWND CreateChildControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                        DWORD exStyle, const RECT& rc, int id, HFONT font);

// Forwards the control's mouse moves to its parent as kMsgChildMouseMove.
void ForwardMouseMoves(HWND control);

} // namespace pb
