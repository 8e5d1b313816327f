#include "forms/Banner.h"
#include "platform/Handles.h"
#include <exdisp.h>
#include <oleauto.h>

namespace pb {

namespace {

constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

template <typename T> T AtlProc(const char* name) {
    // Loaded once for the process: the window class it registers outlives any one window.
    static const UniqueModule atl(LoadLibraryW(L"atl.dll"));
    return ProcAddress<T>(atl.get(), name);
}

} // namespace

HWND CreateBannerHost(HWND parent, const RECT& rc, int id) {
    const auto init = AtlProc<BOOL(WINAPI*)()>("AtlAxWinInit");
    if (!init)
        return nullptr;
    init(); // FALSE once the class is registered already; creating the window tells
    return CreateWindowExW(
        0, L"AtlAxWin", kWebBrowserClsid, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
        rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

HRESULT NavigateBanner(HWND host, const std::wstring& address) {
    const auto getControl = AtlProc<HRESULT(WINAPI*)(HWND, IUnknown**)>("AtlAxGetControl");
    ComPtr<IUnknown> control;
    if (!host || !getControl || FAILED(getControl(host, control.ReleaseAndGetAddressOf())) ||
        !control)
        return E_NOINTERFACE;
    ComPtr<IWebBrowser2> browser;
    if (const HRESULT hr = control.As(&browser); FAILED(hr))
        return hr;
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(address.c_str());
    const HRESULT hr = browser->Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&url);
    return hr;
}

} // namespace pb
