#pragma once
// The banner: the system's web browser control, hosted through the system's own atl.dll.
#include <windows.h>
#include <string>

namespace pb {

// The control's window, or null where the system has no such control (the banner area then
// stays empty and the program goes on).
HWND CreateBannerHost(HWND parent, const RECT& rc, int id);

// Sends the control to the address and returns its answer (E_NOINTERFACE without a control).
// Returns at once: the page loads inside the control, and is never waited for.
HRESULT NavigateBanner(HWND host, const std::wstring& address);

} // namespace pb
