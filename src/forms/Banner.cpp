#include "forms/Banner.h"
#include "platform/Handles.h"
#include <exdisp.h>
#include <mshtmhst.h>
#include <oleauto.h>

namespace pb {

namespace {

constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

template <typename T> T AtlProc(const char* name) {
    // Loaded once for the process: the window class it registers outlives any one window.
    static const UniqueModule atl(LoadLibraryW(L"atl.dll"));
    return ProcAddress<T>(atl.get(), name);
}

// Tells the page the screen's DPI, or it is drawn unscaled above 96. The host's own flags stay
// (ATL's default is a page without a 3-D border). A host that has no such property (Wine's atl
// answers no IDispatch) or refuses it leaves the page as it was.
void TellThePageTheDpi(HWND host) {
    const auto getHost = AtlProc<HRESULT(WINAPI*)(HWND, IUnknown**)>("AtlAxGetHost");
    ComPtr<IUnknown> site;
    ComPtr<IDispatch> ambient;
    if (!getHost || FAILED(getHost(host, site.ReleaseAndGetAddressOf())) || !site ||
        FAILED(site.As(&ambient)))
        return;
    LPOLESTR name = const_cast<LPOLESTR>(L"DocHostFlags");
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(ambient->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)))
        return;
    VARIANT flags;
    VariantInit(&flags);
    DISPPARAMS none{};
    if (FAILED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                               &flags, nullptr, nullptr)) ||
        FAILED(VariantChangeType(&flags, &flags, 0, VT_UI4))) {
        VariantClear(&flags);
        return;
    }
    flags.ulVal |= DOCHOSTUIFLAG_DPI_AWARE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&flags, &named, 1, 1};
    ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                    nullptr);
}

} // namespace

HWND CreateBannerHost(HWND parent, const RECT& rc, int id) {
    const auto init = AtlProc<BOOL(WINAPI*)()>("AtlAxWinInit");
    if (!init)
        return nullptr;
    init(); // FALSE once the class is registered already; creating the window tells
    const HWND host = CreateWindowExW(
        0, L"AtlAxWin", kWebBrowserClsid, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
        rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (host)
        TellThePageTheDpi(host); // before the first page asks the host how to draw itself
    return host;
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
