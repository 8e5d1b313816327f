#include "forms/Descriptions.h"
#include "platform/Handles.h"
#include <algorithm>

namespace pb {

const std::array<const wchar_t*, 5> kOptionDescriptions = {
    L"Purgebox will remove all of the IE Temporary Internet Files cached by your browser. "
    L"These files include previously visited web pages (including images), stored "
    L"JavaScripts, cookies and more. Your Internet History will remain intact.",
    L"Purgebox will remove all of the URLs (Internet Addresses) stored in your IE Address bar.",
    L"Purgebox will delete the items in your Recent Documents Folder. To view these "
    L"shortcuts, click on Start > Documents.",
    L"Purgebox can clean up and delete your Internet History, however before this operation "
    L"can take place, Purgebox will have to close ALL of your Internet Explorer Windows. This "
    L"procedure will allow Purgebox to conceal all the sites visited by the IE browser.",
    L"Purgebox will attempt to delete all of the temporary files located in the Windows Temp "
    L"folder. Some of the files may not be able to be deleted because they may be in use by "
    L"other programs. Keep in mind that new temp files are generated almost every time you use "
    L"your computer.",
};

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
    for (const wchar_t* text : kOptionDescriptions) {
        SetWindowTextW(twin.get(), text);
        const LRESULT last = SendMessageW(twin.get(), EM_POSFROMCHAR, lstrlenW(text) - 1, 0);
        if (static_cast<short>(HIWORD(last)) + tm.tmHeight > area.bottom)
            return false;
    }
    return true;
}

} // namespace pb
