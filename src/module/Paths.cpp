#include "module/Paths.h"
#include "platform/Handles.h"
#include "platform/SystemString.h"
#include <shlobj.h>

namespace pb {

std::wstring GetWindowsDir() {
    return SystemString(
        [](wchar_t* buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); });
}

std::wstring StripNull(std::wstring text) {
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos)
        text.resize(nul);
    return text;
}

std::wstring GetTempDir() {
    std::wstring path =
        SystemString([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    if (path.empty())
        return L"?";
    path = StripNull(path);
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring GetSpecialFolder(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &pidl) != S_OK)
        return {};
    const UniqueTaskMem owner(pidl);
    // The call says only whether the path fitted: room for the longest path there is.
    return SystemString(
        [pidl](wchar_t* buffer, DWORD size) -> size_t {
            return SHGetPathFromIDListEx(pidl, buffer, size, GPFIDL_DEFAULT) ? lstrlenW(buffer) : 0;
        },
        32768);
}

} // namespace pb
