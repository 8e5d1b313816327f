#pragma once
// The maker's pages, opened through Windows Explorer.
#include <string>

namespace pb {

// An address on the maker's site, from its path there.
std::wstring SiteAddress(const wchar_t* path);
// Opens a page in the browser by starting Windows Explorer with it; says so if it cannot.
void OpenWebPage(const std::wstring& address);

} // namespace pb
