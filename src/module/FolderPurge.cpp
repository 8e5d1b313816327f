#include "module/FolderPurge.h"
#include "forms/frmMain.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include "platform/Text.h"
#include <shlobj.h>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <utility>

namespace pb {

namespace {

constexpr int kFinalDownKeys = 7; // bring the end of the log into view

// The same path in the form that lifts the 260-character limit and keeps
// trailing dots and blanks in names as they are.
std::wstring LongPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    if (path.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() >= 2 && path[1] == L':')
        return L"\\\\?\\" + path;
    return path;
}

bool IsListable(const WIN32_FIND_DATAW& fd) {
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (fd.dwFileAttributes & skipped) == 0;
}

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
    static constexpr DWORD kFrameMs = 40;
    LRESULT pending_ = 0;
    DWORD last_ = 0;
};

// What an open file or folder is, after every link, without a trailing backslash; empty if
// the system cannot say.
std::wstring FinalPathOf(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n >= path.size()) {
        path.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (n == 0 || n >= path.size())
        return {};
    path.resize(n);
    if (path.back() == L'\\')
        path.pop_back();
    return path;
}

// The folder's own path as the system resolves it, after every link; empty if it cannot be
// opened.
std::wstring FinalPath(const std::wstring& folder) {
    if (folder.empty() || folder == L"?")
        return {}; // no folder: not the current drive's root
    // Dots and doubled backslashes resolved; the trailing backslash opens a drive's root
    // folder, not the drive itself.
    std::wstring full(32768, L'\0');
    const DWORD n = GetFullPathNameW((folder + L"\\").c_str(), static_cast<DWORD>(full.size()),
                                     full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return {};
    full.resize(n);
    const UniqueFile dir(CreateFileW(LongPath(full).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return dir ? FinalPathOf(dir.get()) : std::wstring();
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether an open file's final path is `name` directly in the folder. Wine gives final paths
// without a name's trailing dots and blanks, so a name may also match without them.
bool IsEntry(const std::wstring& final, const std::wstring& folderFinal, const std::wstring& name) {
    const std::wstring inFolder = folderFinal + L"\\";
    if (final.size() <= inFolder.size() || !SamePath(final.substr(0, inFolder.size()), inFolder))
        return false;
    const std::wstring leaf = final.substr(inFolder.size());
    const size_t kept = name.find_last_not_of(L". ");
    return SamePath(leaf, name) ||
           (kept != std::wstring::npos && SamePath(leaf, name.substr(0, kept + 1)));
}

enum class Outcome { Removed, Kept };

DeletionHook& TheDeletionHook() {
    static DeletionHook hook;
    return hook;
}

// One listed file, opened for its deletion, or what became of it already.
struct Opened {
    UniqueFile file;
    Outcome outcome = Outcome::Kept; // when there is no file to delete
};

// Opens one listed file for its deletion, but only if what it opens is that very entry of the
// folder: not a link's target elsewhere (Wine shows a link made on the Unix side as a plain
// file, and deleting through it deletes its target). A Windows link opens as itself and goes
// as a link; a folder put there since the listing does not open at all (no backup semantics).
Opened OpenEntry(const std::wstring& folderFinal, const std::wstring& folder,
                 const std::wstring& name) {
    Opened entry;
    entry.file.reset(CreateFileW(LongPath(folder + L"\\" + name).c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!entry.file) {
        // Gone already, perhaps by a nested run.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            entry.outcome = Outcome::Removed;
    } else if (folderFinal.empty() || !IsEntry(FinalPathOf(entry.file.get()), folderFinal, name)) {
        entry.file.reset();
    }
    return entry;
}

Outcome Delete(Opened& entry) {
    if (!entry.file)
        return entry.outcome;
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool marked =
        SetFileInformationByHandle(entry.file.get(), FileDispositionInfo, &dispose, sizeof dispose);
    entry.file.reset(); // the file goes with its last handle
    return marked ? Outcome::Removed : Outcome::Kept;
}

// Deletes the listed files in list order, each only once the log holds its line, on two
// threads of its own: one opens and checks the files a little ahead, the other deletes them.
// Under Wine every call is a round trip to the server; side by side, a purge takes about the
// time of the slower half of its deletions instead of their sum with the pumps and log lines.
class Deleter {
  public:
    Deleter(const std::wstring& folder, const std::vector<std::wstring>& names)
        : folder_(folder), folderFinal_(FinalPath(folder)), names_(names), opened_(names.size()),
          progress_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), opener_([this] { OpenAhead(); }),
          deleter_([this] { DeleteReleased(); }) {}
    Deleter(const Deleter&) = delete;
    Deleter& operator=(const Deleter&) = delete;
    // Also on the way out of an error: what was logged goes, nothing else.
    ~Deleter() { Finish(); }

    // The first `count` files are logged and may go.
    void Release(size_t count) {
        {
            Exclusive hold(lock_);
            released_ = count;
            WakeAllConditionVariable(&changed_);
        }
        // The log runs ahead of the deletions by a frame's worth of files at the most.
        if (count - done_ >= kPurgeLead)
            WaitUntilTried(count - kPurgeLead / 2);
    }
    // Waits, handling the window's messages, until the first `count` files are tried.
    void WaitUntilTried(size_t count) {
        wakeAt_ = count;
        WaitPumping(
            progress_.get(), [&] { return done_ >= count; }, WaitInput::Handle);
        wakeAt_ = kNever;
    }
    // No more files are released: waits until the released ones are tried.
    void Finish() {
        {
            Exclusive hold(lock_);
            finished_ = true;
            WakeAllConditionVariable(&changed_);
        }
        for (std::thread* t : {&opener_, &deleter_})
            if (t->joinable())
                t->join();
    }
    size_t removed() const { return removed_; }
    size_t kept() const { return kept_; }

  private:
    class Exclusive {
      public:
        explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
        ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

      private:
        SRWLOCK& lock_;
    };

    // Files are opened at most this far beyond the released ones.
    static constexpr size_t kOpenAhead = 64;

    // Waits until `ready` holds; it is asked with the lock held.
    template <typename Pred> void WaitUntil(Pred ready) {
        Exclusive hold(lock_);
        while (!ready())
            SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    }

    void OpenAhead() {
        const DeletionHook hook = TheDeletionHook(); // a copy: tests may replace it meanwhile
        for (size_t i = 0; i < names_.size(); ++i) {
            bool needed = false;
            WaitUntil([&] {
                needed = i < released_ || (!finished_ && i < released_ + kOpenAhead);
                return needed || finished_;
            });
            if (!needed)
                break;
            if (hook)
                hook();
            opened_[i] = OpenEntry(folderFinal_, folder_, names_[i]);
            Exclusive hold(lock_);
            openedCount_ = i + 1;
            WakeAllConditionVariable(&changed_);
        }
        Exclusive hold(lock_);
        openerDone_ = true;
        WakeAllConditionVariable(&changed_);
    }

    void DeleteReleased() {
        for (size_t i = 0; i < names_.size(); ++i) {
            bool go = false;
            WaitUntil([&] {
                go = i < released_ && i < openedCount_;
                return go || (finished_ && i >= released_) || (openerDone_ && i >= openedCount_);
            });
            if (!go)
                return;
            if (Delete(opened_[i]) == Outcome::Removed)
                ++removed_;
            else
                ++kept_;
            if (++done_ >= wakeAt_)
                SetEvent(progress_.get());
        }
    }

    static constexpr size_t kNever = SIZE_MAX;
    const std::wstring folder_, folderFinal_;
    const std::vector<std::wstring>& names_;
    std::vector<Opened> opened_; // slot i is the opener's until openedCount_ passes it
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    size_t released_ = 0, openedCount_ = 0; // guarded by lock_, as are the flags
    bool finished_ = false, openerDone_ = false;
    std::atomic<size_t> removed_{0}, kept_{0}, done_{0}, wakeAt_{kNever};
    const UniqueHandleW progress_;
    std::thread opener_, deleter_; // last: they start once the rest is ready
};

} // namespace

DeletionHook SetDeletionHook(DeletionHook hook) {
    return std::exchange(TheDeletionHook(), std::move(hook));
}

std::wstring StripNull(std::wstring text) {
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos)
        text.resize(nul);
    return text;
}

std::wstring GetTempDir() {
    std::wstring buffer(MAX_PATH + 1, L' ');
    DWORD n = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n > buffer.size()) { // a long temp path: ask again with the room it needs
        buffer.assign(n + 1, L' ');
        n = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0 || n > buffer.size())
        return L"?";
    buffer.resize(n);
    while (!buffer.empty() && buffer.back() == L' ')
        buffer.pop_back();
    buffer = StripNull(buffer);
    if (!buffer.empty() && buffer.back() == L'\\')
        buffer.pop_back();
    return buffer;
}

std::wstring GetSpecialFolder(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &pidl) != S_OK)
        return {};
    UniqueTaskMem owner(pidl);
    std::wstring buffer(32768, L'\0');
    if (!SHGetPathFromIDListEx(pidl, buffer.data(), static_cast<DWORD>(buffer.size()),
                               GPFIDL_DEFAULT))
        return {};
    return StripNull(buffer);
}

std::vector<std::wstring> ListFolderFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    if (folder.empty() || folder == L"?")
        return names;
    const DWORD attrs = GetFileAttributesW(LongPath(folder).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY))
        return names;
    WIN32_FIND_DATAW fd;
    UniqueFind find(FindFirstFileExW(LongPath(folder + L"\\*").c_str(), FindExInfoBasic, &fd,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find)
        return names;
    do {
        if (IsListable(fd))
            names.emplace_back(fd.cFileName);
        KeepAnswering(); // a large folder takes a while to list
    } while (FindNextFileW(find.get(), &fd));
    return names;
}

void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts) {
    AddLog(texts.found);
    AddLog(L"     " + shown);
    if (HoldsUsersOwnFiles(folder)) {
        AddLog(L"     Purgebox will not remove files from this folder");
        return;
    }
    AddLog(L"     Removing Files:");
    DoEvents();

    // A snapshot of our own: a nested run at a pumping point cannot change what
    // we delete.
    const std::vector<std::wstring> names = ListFolderFiles(folder);
    const ListBox& file1 = MainForm().File1;
    file1.Clear();
    SendMessageW(file1.hwnd(), LB_INITSTORAGE, names.size(), names.size() * 32 * sizeof(wchar_t));
    for (const std::wstring& name : names) {
        SendMessageW(file1.hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        KeepAnswering();
    }

    LogSelection selection;
    Deleter deleter(folder, names);
    for (size_t i = 0; i < names.size(); ++i) {
        DoEvents();
        AddLog(L"      " + names[i]);
        deleter.Release(i + 1);
        selection.Down(1, false);
        DoEvents();
    }
    deleter.WaitUntilTried(names.size());
    deleter.Finish();
    const size_t removed = deleter.removed(), kept = deleter.kept();
    AddLog(texts.cleared);
    AddLog(L"     Purgebox removed " + std::to_wstring(removed) + L" files");
    if (kept)
        AddLog(L"     Purgebox could not remove " + std::to_wstring(kept) + L" files");
    DoEvents();
    selection.Down(kFinalDownKeys, true);
}

bool HoldsUsersOwnFiles(const std::wstring& folder) {
    const std::wstring final = FinalPath(folder);
    if (final.empty())
        return false; // nothing there to list
    const std::wstring rest = final.substr(final.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0);
    if (rest.rfind(L"UNC\\", 0) == 0) {
        if (std::count(rest.begin(), rest.end(), L'\\') <= 2)
            return true; // \\server\share
    } else if (rest.find(L'\\') == std::wstring::npos) {
        return true; // C:
    }
    static constexpr int kShared[] = {CSIDL_WINDOWS,
                                      CSIDL_SYSTEM,
                                      CSIDL_SYSTEMX86,
                                      CSIDL_PROFILE,
                                      CSIDL_DESKTOPDIRECTORY,
                                      CSIDL_COMMON_DESKTOPDIRECTORY,
                                      CSIDL_PERSONAL,
                                      CSIDL_COMMON_DOCUMENTS,
                                      CSIDL_PROGRAM_FILES,
                                      CSIDL_PROGRAM_FILESX86,
                                      CSIDL_PROGRAM_FILES_COMMON,
                                      CSIDL_PROGRAM_FILES_COMMONX86};
    for (const int csidl : kShared) {
        wchar_t path[MAX_PATH];
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK &&
            SamePath(FinalPath(path), final))
            return true;
    }
    return false;
}

void CleanRecentFolder() {
    const std::wstring folder = GetSpecialFolder(CSIDL_RECENT);
    PurgeFolder(folder, folder,
                {L"     Windows Recent Files found", L"     Windows Recent Files Cleared"});
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
