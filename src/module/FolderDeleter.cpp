#include "module/FolderDeleter.h"
#include "platform/Scoped.h"
#include "Seams.h"
#include "platform/Handles.h"
#include "platform/Waits.h"
#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace pb {

namespace {

enum class Outcome {
    Removed,
    Kept,
    Gone, // not there any more: neither removed by this purge nor kept
    Busy, // open elsewhere without delete sharing, perhaps by the other deleting thread
};

bool IsListable(DWORD attributes) {
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & skipped) == 0;
}

bool SetDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO dispose{remove};
    return SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

using DeletionHook = decltype(seams::deletion)::Function;

// Deletes one listed file, but only the very entry that was listed, lying in the folder.
Outcome DeleteEntry(const HeldFolder& folder, const FolderEntry& entry, const DeletionHook& hook) {
    if (hook)
        hook(DeletionStep::Open, entry.name);
    UniqueKernelHandle file;
    switch (folder.OpenEntry(entry.name, file)) {
    case EntryOpen::Opened:
        break;
    case EntryOpen::Missing:
        return Outcome::Gone;
    case EntryOpen::Busy:
        return Outcome::Busy;
    default:
        return Outcome::Kept;
    }
    // Taken first: Wine names the file as it was when opened, so a rename from the Linux side
    // during the checks shows only in its change time.
    const std::optional<FileTimes> checked = TimesOf(file.get());
    if (hook)
        hook(DeletionStep::Check, entry.name);
    // A file made anew at the name may carry the listed id, which ext4 hands on at once, but
    // not the listed write time; nor does one written to since, which is in use: both stay.
    if (!checked || checked->written != entry.written ||
        !folder.Holds(file.get(), entry.name, entry.id))
        return Outcome::Kept;
    if (hook)
        hook(DeletionStep::Delete, entry.name);
    if (!SetDeletion(file.get(), true))
        return Outcome::Kept;
    // A Linux program knows no sharing and may have moved the file away since its check: Wine
    // removes a file at the handle's close only if its name still leads to it. Asked of the
    // handle, which Wine answers without a call to its server: a rename changes the file's
    // change time.
    const std::optional<FileTimes> deleted = TimesOf(file.get());
    if (!deleted || deleted->changed != checked->changed) {
        SetDeletion(file.get(), false);
        return Outcome::Gone;
    }
    return Outcome::Removed; // the file goes with the handle
}

// Counts a thread in for a scope, whichever way it leaves.
using CountedIn = ScopedCount<std::atomic<size_t>>;

// Deletes the listed files in list order, each only once the log holds its line, on threads
// of their own: under Wine most calls are a round trip to the server, and side by side with the
// log a purge takes about the time of its deletions instead of their sum with the log's. A
// file's check and deletion take five calls on its handle; measured, one thread takes half as
// long again as two. Each thread holds one file at a time, only for its own check and
// deletion.
class Deleter {
  public:
    Deleter(const HeldFolder& folder, const std::vector<FolderEntry>& entries)
        : folder_(folder), entries_(entries), hook_(seams::deletion.get()),
          outcomes_(entries.size(), Outcome::Gone),
          progress_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        for (UniqueKernelHandle& thread : threads_) {
            ++running_;
            if (progress_)
                thread.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
            if (!thread) {
                --running_;
                Stop(); // none may outlive the folder and the list it works on
                throw std::bad_alloc();
            }
        }
    }
    Deleter(const Deleter&) = delete;
    Deleter& operator=(const Deleter&) = delete;
    // Also on the way out of an error: what was released goes, nothing else.
    ~Deleter() { Stop(); }

    // The first `count` files are logged and may go.
    void Release(size_t count) {
        Tell([&] { released_ = count; });
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
    // What became of each file, once all are tried.
    std::vector<Outcome>& outcomes() { return outcomes_; }

  private:
    // Lets the threads end once the released files are tried, and waits until each has said
    // it is done with this object, while the window answers other programs. Told by the
    // threads themselves: a wait on their handles was once seen to go on for ever after both
    // threads had ended.
    void Stop() {
        Tell([&] { finished_ = true; });
        WaitPumping(
            progress_.get(), [&] { return running_ == 0; }, WaitInput::AnswerOnly);
    }

    // An error on the deleting thread ends the purge here, on the window's thread, where the
    // program's own handler reports it.
    void RaiseError() {
        if (failed_) {
            Stop();
            std::rethrow_exception(error_);
        }
    }

    // Without a call to the server, unlike an event: one is made for every file.
    void Tell(const std::function<void()>& change) {
        {
            const SrwHold hold(lock_, SrwHold::Exclusive);
            change();
        }
        WakeAllConditionVariable(&more_);
    }
    // The next released file not yet taken, if any is left.
    bool Take(size_t& i) {
        const SrwHold hold(lock_, SrwHold::Exclusive);
        while (next_ >= released_ && !finished_ && !failed_)
            SleepConditionVariableSRW(&more_, &lock_, INFINITE, 0);
        const bool taken = next_ < released_ && !failed_;
        if (taken)
            i = next_++;
        return taken;
    }

    // The other thread may hold the same file by another name (a hard link, or a Unix link to
    // it) without delete sharing: a file found busy is tried once more when that thread is
    // done with the file it holds.
    Outcome Delete(const FolderEntry& entry) {
        const CountedIn working(working_);
        Outcome outcome = DeleteEntry(folder_, entry, hook_);
        if (outcome == Outcome::Busy) {
            {
                // Not while the other thread waits so too, nor once it has failed: neither
                // would hold anything.
                const CountedIn waiting(waiting_);
                for (const size_t seen = done_; done_ == seen && working_ > waiting_ && !failed_;)
                    Sleep(1);
            }
            outcome = DeleteEntry(folder_, entry, hook_);
        }
        return outcome == Outcome::Busy ? Outcome::Kept : outcome;
    }

    static DWORD WINAPI Run(void* self) {
        auto& deleter = *static_cast<Deleter*>(self);
        deleter.Work();
        SetEvent(deleter.progress_.get());
        --deleter.running_; // the last touch: the object may go at once
        return 0;
    }
    void Work() {
        try {
            for (size_t i; Take(i);) {
                outcomes_[i] = Delete(entries_[i]);
                ++done_;
                // Only the window's thread waiting for this file is woken: each wake is a
                // call to the server.
                if (done_ >= wakeAt_)
                    SetEvent(progress_.get());
            }
        } catch (...) {
            Tell([&] {
                if (!failed_)
                    error_ = std::current_exception();
                failed_ = true; // the other thread takes no more files either
            });
            SetEvent(progress_.get());
        }
    }

    static constexpr size_t kNever = SIZE_MAX;
    const HeldFolder& folder_;
    const std::vector<FolderEntry>& entries_;
    const DeletionHook hook_; // a copy: tests may replace it meanwhile
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE more_ = CONDITION_VARIABLE_INIT;
    size_t released_ = 0, next_ = 0; // guarded by lock_, as is finished_
    bool finished_ = false;
    std::atomic<size_t> done_{0}, wakeAt_{kNever}, working_{0}, waiting_{0}, running_{0};
    std::vector<Outcome> outcomes_; // each written by the thread that took its file
    std::atomic<bool> failed_{false};
    std::exception_ptr error_; // the first error, set before failed_
    const UniqueKernelHandle progress_;
    std::array<UniqueKernelHandle, 2> threads_;
};

// A file counts as removed only if the folder no longer lists it under its name once all are
// tried: the deletion happens at the handle's close, where Wine says nothing when it fails, as
// it does for a folder whose Unix permissions forbid it, or waits while another handle is open.
// A listed name that now holds another file counts neither way: the listed one went elsewhere,
// not by this purge. Where the folder cannot be listed again, no removal is confirmed.
void RecountFromWhatIsLeft(const HeldFolder& folder, const std::vector<FolderEntry>& entries,
                           std::vector<Outcome>& outcomes) {
    const std::optional<HeldFolder> again = folder.OpenAgain();
    const std::optional<std::vector<FolderEntry>> left =
        again ? ListFolderEntries(*again) : std::nullopt;
    if (!left) {
        std::replace(outcomes.begin(), outcomes.end(), Outcome::Removed, Outcome::Kept);
        return;
    }
    if (left->empty())
        return; // the usual end: nothing to look up
    std::unordered_map<std::wstring_view, size_t> byName;
    for (size_t i = 0; i < entries.size(); ++i)
        byName.emplace(entries[i].name, i);
    for (const FolderEntry& file : *left) {
        const auto named = byName.find(file.name);
        if (named == byName.end())
            continue;
        Outcome& outcome = outcomes[named->second];
        const bool asListed = entries[named->second].id == file.id;
        if (outcome == Outcome::Removed)
            outcome = asListed ? Outcome::Kept : Outcome::Gone;
        else if (outcome == Outcome::Gone && asListed)
            outcome = Outcome::Kept; // its deletion withdrawn, for a change that was no move
    }
}

} // namespace

std::optional<std::vector<FolderEntry>> ListFolderEntries(const HeldFolder& folder) {
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
                                   static_cast<std::uint64_t>(e->FileId.QuadPart),
                                   e->LastWriteTime.QuadPart});
            if (e->NextEntryOffset == 0)
                break;
            at += e->NextEntryOffset;
        }
        KeepAnswering(); // a large folder takes a while to list
    }
    if (GetLastError() != ERROR_NO_MORE_FILES)
        return std::nullopt;
    return entries;
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
    std::vector<Outcome>& outcomes = deleter.outcomes();
    RecountFromWhatIsLeft(folder, entries, outcomes);
    PurgeTally tally;
    for (const Outcome outcome : outcomes) {
        tally.removed += outcome == Outcome::Removed;
        tally.kept += outcome == Outcome::Kept;
    }
    return tally;
}

} // namespace pb
