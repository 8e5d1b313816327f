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
    // What opens a menu or a box, starts a run or ends the program, sent to this window or to
    // one of its controls: such a message waits for a task's next pumping point. Asked of the
    // top-level window, before any handler, by the one procedure and the text box's.
    virtual bool StartsSomething(UINT msg, WPARAM wp, LPARAM lp) const;

    friend bool HeldUntilPumpingPoint(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// The one gate: true when this message, to one of the program's windows or controls, would start
// something while a task works, and is held for the task's next pumping point instead.
bool HeldUntilPumpingPoint(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Creates a standard control as a child; its position comes in pixels.
HWND CreateChildControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                        DWORD exStyle, const RECT& rc, int id, HFONT font);

// Forwards the control's mouse moves to its parent as kMsgChildMouseMove.
void ForwardMouseMoves(HWND control);

} // namespace pb
