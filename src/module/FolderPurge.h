#pragma once
#include <string>

namespace pb {

std::wstring GetTempDir();
std::wstring StripNull(std::wstring text);
std::wstring GetSpecialFolder(int csidl);

// Logs and deletes the files of one folder; the two tasks differ only in these
// texts and in how the log names the folder.
struct PurgeTexts {
    const wchar_t* found;
    const wchar_t* cleared;
};
// `folder` is spelled as the system gave it, `shown` as the log names it.
void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts);

} // namespace pb
