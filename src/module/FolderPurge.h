#pragma once
#include <string>
#include <vector>

namespace pb {

std::wstring GetTempDir();
std::wstring StripNull(std::wstring text);
std::wstring GetSpecialFolder(int csidl);

// The files directly in a folder, hidden and system files, folders and links to
// folders left out. A folder that cannot be listed ("?", empty, missing) lists
// nothing.
std::vector<std::wstring> ListFolderFiles(const std::wstring& folder);

// Logs and deletes the files of one folder; the two tasks differ only in these
// texts.
struct PurgeTexts {
    const wchar_t* found;
    const wchar_t* cleared;
};
void PurgeFolder(const std::wstring& folder, const PurgeTexts& texts);

} // namespace pb
