#pragma once
#include "forms/Window.h"
#include <string>

namespace pb {

// Thin views of the standard controls the forms use.
class CheckBox : public WindowRef {
  public:
    using WindowRef::WindowRef;
    // 0 unticked, 1 ticked, 2 greyed.
    int Value() const { return static_cast<int>(SendMessageW(hwnd_, BM_GETCHECK, 0, 0)); }
    void SetValue(int v) const { SendMessageW(hwnd_, BM_SETCHECK, static_cast<WPARAM>(v), 0); }
};

class ListBox : public WindowRef {
  public:
    using WindowRef::WindowRef;
    int Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }
    void AddItem(const std::wstring& text) const;
    void Clear() const { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
    std::wstring Item(int index) const;
};

// A text box's own menu, the one standard control menu, waits like the form's for a task's
// pumping point; a read-only box wants neither Enter nor Escape.
void WaitWithItsMenu(HWND textBox, bool readOnly);

} // namespace pb
