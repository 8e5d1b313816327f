#include "module/FolderDeleter.h"
#include "platform/Handles.h"
#include "platform/Waits.h"
#include <array>
#include <atomic>
#include <exception>
#include <thread>
#include <utility>

namespace pb {

namespace {

enum class Outcome {
    Removed,
    Kept,
    Gone, // not there any more: neither removed by this purge nor kept
    Busy, // open elsewhere without delete sharing, perhaps by the other thread
};

DeletionHook& TheDeletionHook() {
    static DeletionHook hook;
    return hook;
}

bool IsListable(DWORD attributes) {
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & skipped) == 0;
}

} // namespace

std::vector<FolderEntry> ListFolderEntries(const HeldFolder& folder) {
    std::vector<FolderEntry> entries;
    std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(folder.handle(), query, buffer.data(), bytes)) {
        query = FileIdBothDirectoryInfo;
        const auto* at = reinterpret_cast<const std::uint8_t*>(buffer.data());
        for (;;) {
            const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            if (IsListable(e->FileAttributes))
                entries.push_back({std::wstring(e->FileName, e->FileNameLength / sizeof(wchar_t)),
                                   static_cast<std::uint64_t>(e->FileId.QuadPart)});
            if (e->NextEntryOffset == 0)
                break;
            at += e->NextEntryOffset;
        }
        KeepAnswering(); // a large folder takes a while to list
    }
    return entries;
}

namespace {

// Deletes one listed file, but only if what it opens is that very entry of the folder: not a
// link's target elsewhere (Wine shows a link made on the Unix side as a plain file, and
// deleting through it deletes its target). A Windows link opens as itself and goes as a link;
// a folder put there since the listing does not open at all (no backup semantics).
Outcome DeleteEntry(const HeldFolder& folder, const FolderEntry& entry, const DeletionHook& hook) {
    const std::wstring& name = entry.name;
    if (hook)
        hook(DeletionStep::Open, name);
    // No delete sharing: from its check to its deletion nobody can move the file away (a
    // program saving through a temp file renames it into the user's documents).
    const std::wstring path = folder.EntryPath(name);
    const UniqueFile file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND      ? Outcome::Gone
               : error == ERROR_SHARING_VIOLATION ? Outcome::Busy
                                                  : Outcome::Kept;
    }
    if (!folder.IsEntry(file.get(), name, entry.id))
        return Outcome::Kept;
    if (hook)
        hook(DeletionStep::Delete, name);
    FILE_DISPOSITION_INFO dispose{TRUE};
    if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose))
        return Outcome::Kept;
    // A Linux program knows no sharing and may still have renamed it: Wine then keeps the file
    // at its new place, where it was not removed.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
        dispose.DeleteFile = FALSE;
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose);
        return Outcome::Gone;
    }
    return Outcome::Removed; // the file goes with the handle
}

// Deletes the listed files in list order, each only once the log holds its line, on threads
// of their own: under Wine every call is a round trip to the server, and side by side with the
// log a purge takes about the time of its deletions instead of their sum with the log's. Each
// file is held only for its own check and deletion, which cost twice the calls of a plain
// deletion: two threads, each taking the next file, keep the purge near the plain one's time.
class Deleter {
  public:
    Deleter(const HeldFolder& folder, const std::vector<FolderEntry>& entries)
        : folder_(folder), entries_(entries), tried_(entries.size()),
          progress_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          exited_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        try {
            for (std::thread& w : workers_) {
                w = std::thread([this] { Work(); });
                ++started_;
            }
        } catch (...) { // no thread may outlive the folder and the list it works on
            Stop();
            throw;
        }
    }
    Deleter(const Deleter&) = delete;
    Deleter& operator=(const Deleter&) = delete;
    // Also on the way out of an error: what was released goes, nothing else.
    ~Deleter() { Stop(); }

    // The first `count` files are logged and may go.
    void Release(size_t count) {
        {
            Holding hold(lock_, true);
            released_ = count;
            WakeAllConditionVariable(&changed_);
        }
        // The log runs ahead of the deletions by a frame's worth of files at the most.
        if (count - done_ >= kPurgeLead)
            WaitUntilTried(count - kPurgeLead / 2);
        RaiseError();
    }
    // Waits, handling the window's messages, until the first `count` files are tried.
    void WaitUntilTried(size_t count) {
        wakeAt_ = count;
        WaitPumping(
            progress_.get(), [&] { return done_ >= count || failed_; }, WaitInput::All);
        wakeAt_ = kNever;
        RaiseError();
    }
    // No more files are released: waits until the released ones are tried.
    void Finish() {
        Stop();
        RaiseError();
    }
    size_t removed() const { return removed_; }
    size_t kept() const { return kept_; }

  private:
    class Holding {
      public:
        Holding(SRWLOCK& lock, bool exclusive) : lock_(lock), exclusive_(exclusive) {
            exclusive_ ? AcquireSRWLockExclusive(&lock_) : AcquireSRWLockShared(&lock_);
        }
        ~Holding() { exclusive_ ? ReleaseSRWLockExclusive(&lock_) : ReleaseSRWLockShared(&lock_); }
        Holding(const Holding&) = delete;
        Holding& operator=(const Holding&) = delete;

      private:
        SRWLOCK& lock_;
        const bool exclusive_;
    };

    // Lets the threads end once the released files are tried, and waits for them while the
    // window answers other programs.
    void Stop() {
        {
            Holding hold(lock_, true);
            finished_ = true;
            WakeAllConditionVariable(&changed_);
        }
        WaitPumping(
            exited_.get(), [&] { return exitedCount_ == started_; }, WaitInput::AnswerOnly);
        for (std::thread& w : workers_)
            if (w.joinable())
                w.join();
    }

    // An error on a deleting thread ends the purge here, on the window's thread, where the
    // program's own handler reports it.
    void RaiseError() {
        if (failed_) {
            Stop();
            std::rethrow_exception(error_);
        }
    }

    void Work() {
        try {
            const DeletionHook hook = TheDeletionHook(); // a copy: tests may replace it meanwhile
            for (;;) {
                size_t i;
                {
                    Holding hold(lock_, true);
                    while (next_ >= released_ && !finished_ && !failed_)
                        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
                    if (next_ >= released_ || failed_)
                        break;
                    i = next_++;
                }
                Count(i, Delete(entries_[i], hook));
            }
        } catch (...) {
            Holding hold(lock_, true);
            if (!failed_)
                error_ = std::current_exception();
            failed_ = true; // the other thread takes no more files either
            WakeAllConditionVariable(&changed_);
            SetEvent(progress_.get());
        }
        if (++exitedCount_ == started_)
            SetEvent(exited_.get());
    }

    // The other thread may hold the same file by another name (a hard link, or a Unix link
    // to it) without delete sharing: a file found busy is tried once more while that thread
    // holds nothing.
    Outcome Delete(const FolderEntry& entry, const DeletionHook& hook) {
        {
            Holding shared(alone_, false);
            if (const Outcome outcome = DeleteEntry(folder_, entry, hook); outcome != Outcome::Busy)
                return outcome;
        }
        Holding exclusive(alone_, true);
        const Outcome outcome = DeleteEntry(folder_, entry, hook);
        return outcome == Outcome::Busy ? Outcome::Kept : outcome;
    }

    // `done_` counts the files from the first on that are all tried: with two threads a file
    // may be tried before the one ahead of it.
    void Count(size_t i, Outcome outcome) {
        if (outcome == Outcome::Removed)
            ++removed_;
        else if (outcome == Outcome::Kept)
            ++kept_;
        size_t done;
        {
            Holding hold(lock_, true);
            tried_[i] = true;
            done = done_;
            while (done < tried_.size() && tried_[done])
                ++done;
            done_ = done;
        }
        if (done >= wakeAt_)
            SetEvent(progress_.get());
    }

    static constexpr size_t kNever = SIZE_MAX;
    const HeldFolder& folder_;
    const std::vector<FolderEntry>& entries_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    SRWLOCK alone_ = SRWLOCK_INIT; // held shared while deleting, exclusive for a second try
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    size_t released_ = 0, next_ = 0; // guarded by lock_, as are finished_, tried_ and error_
    bool finished_ = false;
    std::vector<bool> tried_;
    std::atomic<size_t> removed_{0}, kept_{0}, done_{0}, wakeAt_{kNever};
    std::atomic<size_t> started_{0}, exitedCount_{0};
    std::atomic<bool> failed_{false};
    std::exception_ptr error_; // the first error, set before failed_
    const UniqueHandleW progress_, exited_;
    std::array<std::thread, 2> workers_;
};

} // namespace

DeletionHook SetDeletionHook(DeletionHook hook) {
    return std::exchange(TheDeletionHook(), std::move(hook));
}

PurgeTally DeleteAsLogged(const HeldFolder& folder, const std::vector<FolderEntry>& entries,
                          const std::function<void(size_t)>& log,
                          const std::function<void(size_t)>& logged) {
    Deleter deleter(folder, entries);
    for (size_t i = 0; i < entries.size(); ++i) {
        log(i);
        deleter.Release(i + 1);
        logged(i);
    }
    deleter.WaitUntilTried(entries.size());
    deleter.Finish();
    return {deleter.removed(), deleter.kept()};
}

} // namespace pb
