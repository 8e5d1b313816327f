#pragma once
#include <string>
#include <vector>

namespace pb {

// Logs and deletes the files of one folder; the two tasks differ only in these
// texts and in how the log names the folder.
struct PurgeTexts {
    const wchar_t* found;
    const wchar_t* cleared;
    // What else goes with the folder's files, done before the folder is said to be cleared:
    // its lines say what remains, and then take the place of `cleared`.
    std::vector<std::wstring> (*alsoClear)() = nullptr;
};
// `folder` is spelled as the system gave it, `shown` as the log names it.
void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts);

} // namespace pb
