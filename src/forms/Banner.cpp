#include "forms/Banner.h"
#include "platform/Handles.h"
#include <oleauto.h>

namespace pb {

namespace {

constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr DISPID kDispidNavigate2 = 500;

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
    ComPtr<IDispatch> browser;
    if (const HRESULT hr = control.As(&browser); FAILED(hr))
        return hr;
    // Navigate2(URL): the four optional arguments go as "missing", last argument first.
    VARIANT args[5];
    for (VARIANT& v : args) {
        VariantInit(&v);
        v.vt = VT_ERROR;
        v.scode = DISP_E_PARAMNOTFOUND;
    }
    args[4].vt = VT_BSTR;
    args[4].bstrVal = SysAllocString(address.c_str());
    DISPPARAMS params{args, nullptr, 5, 0};
    const HRESULT hr = browser->Invoke(kDispidNavigate2, IID_NULL, LOCALE_USER_DEFAULT,
                                       DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    VariantClear(&args[4]);
    return hr;
}

} // namespace pb
