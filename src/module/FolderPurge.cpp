#include "module/FolderPurge.h"
#include "module/FolderDeleter.h"
#include "forms/frmMain.h"
#include "module/RefusedFolders.h"
#include "module/StoreResidue.h"
#include "module/Log.h"
#include "module/Paths.h"
#include "module/Tasks.h"
#include "platform/FileLocation.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include "platform/Text.h"
#include "platform/Waits.h"
#include <shlobj.h>
#include <optional>

namespace pb {

namespace {

constexpr int kFinalSelectionSteps = 7; // bring the end of the log into view

// The log's selection follows the newest lines. Moving it is what costs under Wine (the list
// box works through its items at every step), so the steps are gathered and the selection
// set once a frame, like the drawing: the user sees the same list following the same lines.
// It is set on the list itself, never through the system's input, which would go to
// whichever program has the focus while the window is hidden in the tray.
class LogSelection {
  public:
    void Down(int steps, bool now) {
        pending_ += steps;
        const DWORD tick = GetTickCount();
        if (!now && tick - last_ < kFrameMs)
            return;
        last_ = tick;
        const HWND list = MainForm().List1.hwnd();
        const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        const LRESULT current = SendMessageW(list, LB_GETCURSEL, 0, 0);
        LRESULT target = (current == LB_ERR ? -1 : current) + pending_;
        if (target >= count)
            target = count - 1;
        pending_ = 0;
        if (target >= 0)
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(target), 0);
    }

  private:
    LRESULT pending_ = 0;
    DWORD last_ = 0;
};

} // namespace

void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts) {
    AddLog(texts.found);
    AddLog(L"     " + shown);
    // Resolved once: refused, listed, opened and checked against this one folder, so that
    // nothing can send the purge elsewhere in between.
    const std::optional<HeldFolder> held = HeldFolder::Open(folder);
    if (const Refusal refusal = held ? RefusalOf(*held) : Refusal(); refusal.refused) {
        AddLog(L"     Purgebox will not remove files from this folder");
        if (!refusal.why.empty())
            AddLog(L"     " + refusal.why);
        return;
    }
    AddLog(L"     Removing Files:");
    DoEvents();

    // A snapshot of our own: a nested run at a pumping point cannot change what
    // we delete.
    const std::vector<FolderEntry> entries =
        held ? ListFolderEntries(*held).value_or(std::vector<FolderEntry>())
             : std::vector<FolderEntry>();
    const ListBox& file1 = MainForm().File1;
    file1.Clear();
    SendMessageW(file1.hwnd(), LB_INITSTORAGE, entries.size(),
                 entries.size() * 32 * sizeof(wchar_t));
    for (const FolderEntry& entry : entries) {
        SendMessageW(file1.hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
        KeepAnswering();
    }

    LogSelection selection;
    PurgeTally tally;
    if (held)
        tally = DeleteAsLogged(
            *held, entries,
            [&](size_t i) {
                DoEvents();
                AddLog(L"      " + entries[i].name);
            },
            [&](size_t) {
                selection.Down(1, false);
                DoEvents();
            });
    const std::vector<std::wstring> remaining =
        texts.alsoClear ? texts.alsoClear() : std::vector<std::wstring>();
    for (const std::wstring& line : remaining)
        AddLog(line);
    if (remaining.empty()) // never over what remains
        AddLog(texts.cleared);
    AddLog(L"     Purgebox removed " + std::to_wstring(tally.removed) + L" files");
    if (tally.kept)
        AddLog(L"     Purgebox could not remove " + std::to_wstring(tally.kept) + L" files");
    DoEvents();
    selection.Down(kFinalSelectionSteps, true);
}

void CleanRecentFolder() {
    const std::wstring folder = GetSpecialFolder(CSIDL_RECENT);
    PurgeFolder(folder, folder,
                {L"     Windows Recent Files found", L"     Windows Recent Files Cleared",
                 &ClearRecentDocsList});
}

void CleanTempFolder() {
    // The log shows the path upper-cased, but the files are reached by the path as the system
    // spells it: the same folder, and under Wine each differently-cased part of a path costs a
    // search of its parent folder, which doubled the time of every deletion.
    const std::wstring folder = GetTempDir();
    PurgeFolder(folder, ToUpper(folder),
                {L"     Windows Temp Directory found", L"     Windows Temp Directory Cleared"});
}

} // namespace pb
