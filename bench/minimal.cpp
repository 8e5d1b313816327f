// The reference for start-up time: a minimal Win32 program with the same parts as Purgebox's
// window (five check boxes, four push buttons, a list box, an edit box and the web browser
// control hosted through atl.dll and navigated once) and the same manifest, and nothing else.
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {
template <typename T> T Proc(HMODULE dll, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

void HostBrowser(HWND host) {
    const HMODULE atl = LoadLibraryW(L"atl.dll"); // kept: its window class outlives this call
    const auto get =
        atl ? Proc<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl") : nullptr;
    ComPtr<IUnknown> control;
    ComPtr<IWebBrowser2> browser;
    if (!get || FAILED(get(host, control.GetAddressOf())) || !control ||
        FAILED(control.As(&browser)))
        return;
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(L"http://www.brightwatersoft.example/purgebox/header.htm");
    browser->Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&url);
}
} // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = inst;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"MinimalWindow";
    RegisterClassW(&wc);
    HWND w = CreateWindowW(wc.lpszClassName, L"Minimal",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT,
                           CW_USEDEFAULT, 526, 482, nullptr, nullptr, inst, nullptr);
    const auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
                           int cx, int cy) {
        return CreateWindowW(cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, w, nullptr,
                             inst, nullptr);
    };
    for (int i = 0; i < 5; ++i)
        child(L"BUTTON", L"Option", BS_3STATE, 72, 168 + 24 * i, 193, 17);
    for (int i = 0; i < 4; ++i)
        child(L"BUTTON", L"Button", BS_PUSHBUTTON, 72 + 100 * i, 296, 89, 25);
    child(L"LISTBOX", L"", LBS_HASSTRINGS | WS_VSCROLL, 288, 144, 225, 184);
    child(L"EDIT", L"", ES_MULTILINE | ES_READONLY, 288, 168, 225, 145);
    if (const HMODULE atl = LoadLibraryW(L"atl.dll"))
        if (const auto init = Proc<BOOL(WINAPI*)()>(atl, "AtlAxWinInit"); init && init())
            HostBrowser(
                child(L"AtlAxWin", L"{8856F961-340A-11D0-A96B-00C04FD705A2}", 0, 26, 376, 468, 60));
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    MSG msg;
    while (IsWindow(w) && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    CoUninitialize();
    return 0;
}
