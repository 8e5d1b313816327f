#pragma once
#include "module/FolderDeleter.h"
#include <functional>
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
// texts and in how the log names the folder.
struct PurgeTexts {
    const wchar_t* found;
    const wchar_t* cleared;
};
// `folder` is spelled as the system gave it, `shown` as the log names it.
void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts);

} // namespace pb
