#pragma once
// Text conversions shared by the program: code pages and letter case.
#include <windows.h>
#include <string>
#include <string_view>

namespace pb {

std::wstring Widen(const std::string& s, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& s, UINT codePage = CP_ACP);

// Letter case as the user's locale has it.
std::wstring ToLower(std::wstring s);
std::wstring ToUpper(std::wstring s);

// Letter case as the file system and the registry compare it: code by code, whatever the locale.
bool StartsWithIgnoringCase(std::wstring_view s, std::wstring_view prefix);
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);

} // namespace pb
