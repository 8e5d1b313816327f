#pragma once
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

// How many logged files may wait for their deletion at any pumping point: about a frame's
// worth, so the log never shows files as removed long before they are.
constexpr size_t kPurgeLead = 256;

// A folder whose files cannot be told apart from the user's own: a drive or share root, the
// Windows or system folder, the profile, Desktop, Documents or a Program Files folder. A
// purge of one logs that it will not remove files from it, and removes none.
bool HoldsUsersOwnFiles(const std::wstring& folder);

// Called on a deleting thread before each file is opened for its deletion; tests use it to
// hold the deletions back.
using DeletionHook = std::function<void()>;
DeletionHook SetDeletionHook(DeletionHook hook);

// Logs and deletes the files of one folder; the two tasks differ only in these
// texts and in how the log names the folder.
struct PurgeTexts {
    const wchar_t* found;
    const wchar_t* cleared;
};
// `folder` is spelled as the system gave it, `shown` as the log names it.
void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts);

} // namespace pb
