#include "module/FolderPurge.h"
#include "forms/frmMain.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include "platform/Text.h"
#include <shlobj.h>
#include <atomic>
#include <thread>

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

// Deletes the listed files on a thread of its own, in list order, each only once the log
// holds its line. Under Wine a deletion and a pump each cost a round trip to the server;
// side by side, a purge takes about the time of its deletions instead of their sum with
// the pumps and log lines.
class Deleter {
  public:
    Deleter(const std::wstring& folder, const std::vector<std::wstring>& names)
        : folder_(folder), names_(names), thread_([this] { Run(); }) {}
    Deleter(const Deleter&) = delete;
    Deleter& operator=(const Deleter&) = delete;
    // Also on the way out of an error: what was logged goes, nothing else.
    ~Deleter() { Finish(); }

    // The first `count` files are logged and may go.
    void Release(size_t count) {
        Exclusive hold(lock_);
        released_ = count;
        WakeConditionVariable(&changed_);
    }
    // No more files are released: waits until the released ones are tried.
    void Finish() {
        if (!thread_.joinable())
            return;
        {
            Exclusive hold(lock_);
            finished_ = true;
            WakeConditionVariable(&changed_);
        }
        thread_.join();
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

    // Waits until file i may go; false once no more will.
    bool MayDelete(size_t i) {
        Exclusive hold(lock_);
        while (released_ <= i && !finished_)
            SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        return released_ > i;
    }

    void Run() {
        for (size_t i = 0; i < names_.size() && MayDelete(i); ++i) {
            const std::wstring path = LongPath(folder_ + L"\\" + names_[i]);
            if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
                ++removed_; // gone either way, perhaps by a nested run
            else
                ++kept_;
        }
    }

    const std::wstring folder_;
    const std::vector<std::wstring>& names_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    size_t released_ = 0; // guarded by lock_
    bool finished_ = false;
    std::atomic<size_t> removed_{0}, kept_{0};
    std::thread thread_; // last: starts once the rest is ready
};

} // namespace

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
    } while (FindNextFileW(find.get(), &fd));
    return names;
}

void PurgeFolder(const std::wstring& folder, const std::wstring& shown, const PurgeTexts& texts) {
    AddLog(texts.found);
    AddLog(L"     " + shown);
    AddLog(L"     Removing Files:");
    DoEvents();

    // A snapshot of our own: a nested run at a pumping point cannot change what
    // we delete.
    const std::vector<std::wstring> names = ListFolderFiles(folder);
    const ListBox& file1 = MainForm().File1;
    file1.Clear();
    SendMessageW(file1.hwnd(), LB_INITSTORAGE, names.size(), names.size() * 32 * sizeof(wchar_t));
    for (const std::wstring& name : names)
        SendMessageW(file1.hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));

    LogSelection selection;
    Deleter deleter(folder, names);
    for (size_t i = 0; i < names.size(); ++i) {
        DoEvents();
        AddLog(L"      " + names[i]);
        deleter.Release(i + 1);
        selection.Down(1, false);
        DoEvents();
    }
    deleter.Finish();
    const size_t removed = deleter.removed(), kept = deleter.kept();
    AddLog(texts.cleared);
    AddLog(L"     Purgebox removed " + std::to_wstring(removed) + L" files");
    if (kept)
        AddLog(L"     Purgebox could not remove " + std::to_wstring(kept) + L" files");
    DoEvents();
    selection.Down(kFinalDownKeys, true);
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
