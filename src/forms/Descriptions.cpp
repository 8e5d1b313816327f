#include "forms/Descriptions.h"
#include "forms/Options.h"
#include "platform/Handles.h"
#include <algorithm>

namespace pb {

void SetDescriptionArea(HWND box, int pictureTop) {
    // Not from EM_GETRECT: that area is already inside the edge and margins, which the box
    // would take off a second time.
    RECT area, window;
    GetClientRect(box, &area);
    GetWindowRect(box, &window);
    POINT origin{0, 0};
    ClientToScreen(box, &origin);
    area.bottom = std::min<LONG>(area.bottom, pictureTop - (origin.y - window.top));
    SendMessageW(box, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&area));
}

bool DescriptionsFit(HFONT font) {
    // A hidden twin of Text1 wraps the texts exactly as Text1 will. A message-only window: a
    // top-level one costs Wine a window on the X server.
    const RECT box = kText1Rect.ToPixels();
    const UniqueWindow twin(CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0,
        0, box.right - box.left, box.bottom - box.top, HWND_MESSAGE, nullptr,
        GetModuleHandleW(nullptr), nullptr));
    if (!twin)
        return true; // nothing to measure with: keep the face
    SendMessageW(twin.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetDescriptionArea(twin.get(), kImgGoRect.ToPixels().top - box.top);
    RECT area;
    SendMessageW(twin.get(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    TEXTMETRICW tm{};
    const HDC dc = GetDC(twin.get());
    const HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(twin.get(), dc);
    for (const Option& option : kOptions) {
        const wchar_t* text = option.description;
        SetWindowTextW(twin.get(), text);
        const LRESULT last = SendMessageW(twin.get(), EM_POSFROMCHAR, lstrlenW(text) - 1, 0);
        if (static_cast<short>(HIWORD(last)) + tm.tmHeight > area.bottom)
            return false;
    }
    return true;
}

} // namespace pb
