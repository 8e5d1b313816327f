#include "module/Site.h"
#include "module/Explorer.h"
#include "module/Paths.h"
#include "platform/MessageBox.h"
#include "platform/StartProgram.h"

namespace pb {

std::wstring SiteAddress(const wchar_t* path) {
    return std::wstring(kMakerSite) + path;
}

namespace {
std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s = text ? text : L"";
    LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' '))
        s.pop_back();
    return s.empty() ? L"error " + std::to_wstring(code) : s;
}
} // namespace

void OpenWebPage(const std::wstring& address) {
    const std::wstring command = GetWindowsDir() + L"\\explorer.exe " + address;
    if (const DWORD err = StartProgram(command, SW_SHOWMINIMIZED))
        ShowMessage(L"Purgebox could not open " + address + L".\n\n" + SystemMessage(err) +
                        L" (error " + std::to_wstring(err) + L")",
                    L"Purgebox", MB_OK | MB_ICONEXCLAMATION);
}

} // namespace pb
