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

// Called on the deleting thread for each file: before it is opened, and once it is open and
// checked, before its deletion. Tests use it to hold the deletions back or to interfere.
enum class DeletionStep { Open, Delete };
using DeletionHook = std::function<void(DeletionStep step, const std::wstring& name)>;
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
