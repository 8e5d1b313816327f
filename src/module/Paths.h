#pragma once
// The system's folders, as the tasks and Explorer find them.
#include <string>

namespace pb {

// The Windows directory, without a trailing backslash.
std::wstring GetWindowsDir();
// The Windows temp directory without its trailing backslash, or "?".
std::wstring GetTempDir();
// The text before its first NUL character, or all of it.
std::wstring StripNull(std::wstring text);
// A shell folder's path by its CSIDL; empty where it has none.
std::wstring GetSpecialFolder(int csidl);

} // namespace pb
