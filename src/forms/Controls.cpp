#include "forms/Controls.h"
#include "forms/FrameDrawing.h"

namespace pb {

void ListBox::AddItem(const std::wstring& text) const {
    // Drawing a list box per line is what makes a long log slow; draw it at a
    // frame rate.
    HoldRedraw(hwnd_);
    SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring ListBox::Item(int index) const {
    const LRESULT n = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n == LB_ERR)
        return {};
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got = SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(s.data()));
    s.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return s;
}

} // namespace pb
