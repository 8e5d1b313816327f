#pragma once
#include "history/HistoryEntry.h"
#include "platform/ApartmentWorker.h"
#include "platform/Handles.h"
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace pb {

// The URL history store as an ordered list of entries, positions 1 to Count. The list is a
// snapshot of the store as of the last Refresh, less the entries taken out by Remove.
// Every failing store call raises HResultError; the list is then as the member documents.
class HistoryCleanser {
  public:
    using EntryPtr = std::shared_ptr<HistoryEntry>;

    // Opens the system's store (or ours where the system has none) and reads all of it on the
    // store's own thread, so that a long history does not hold up the window: every member
    // first waits for that reading, so the list is still the store as it was at creation.
    // `whenRead` is called on that thread once the reading is done, also one stopped early; it
    // may post to the window but never wait on the window's thread, which may join that thread
    // without answering.
    // A record that cannot be read ends this first reading, not the creation: the list then
    // holds what was read before it.
    explicit HistoryCleanser(std::function<void()> whenRead = {});
    // Uses the given store; reads all of it before returning.
    explicit HistoryCleanser(ComPtr<IUrlHistoryStg2> store);
    // A store that keeps to the thread that made it, as the system's does: made by `make` on a
    // thread of its own in a single-threaded apartment, and read (as above), used and released
    // only there.
    struct ApartmentStore {
        std::function<ComPtr<IUrlHistoryStg2>()> make;
        std::function<void()> whenRead;
    };
    explicit HistoryCleanser(const ApartmentStore& store);
    // Uses the given free-threaded store, read on a thread of its own as above.
    HistoryCleanser(ComPtr<IUrlHistoryStg2> store, std::function<void()> whenRead);
    ~HistoryCleanser();
    HistoryCleanser(const HistoryCleanser&) = delete;
    HistoryCleanser& operator=(const HistoryCleanser&) = delete;

    void AddURL(const std::wstring& URL, const std::wstring& Title, std::int32_t Flags);
    std::int32_t Count() const;
    // Stops the first reading if it still runs (what it read so far is the list should the
    // clear fail), clears the store, and reads it again.
    void Clear();
    // No prefix: the whole history.
    void Refresh(const std::optional<std::wstring>& URLStartsWith = std::nullopt,
                 std::int32_t Flags = 0);
    EntryPtr Item(std::int32_t Index) const;
    void Remove(std::int32_t Index);
    void DeleteURL(const std::wstring& URL, std::int32_t Flags);

    // Iteration in list order stands in for the collection's enumerator.
    std::vector<EntryPtr>::const_iterator begin() const;
    std::vector<EntryPtr>::const_iterator end() const;

    // Waits for the first reading, answering the window meanwhile, and takes it in; raises its
    // error, as creation would have. Does nothing once it was taken in.
    void TakeFirstReading() const;

  private:
    struct Reading {
        std::vector<EntryPtr> entries;
        bool listed = false; // the enumeration began: its entries replace the list
        HRESULT hr = S_OK;
        const char* call = nullptr; // the store call that failed
        std::exception_ptr error;   // anything else that ended the reading on its own thread
    };
    // `stop`: ends the reading between two records.
    static Reading Read(IUrlHistoryStg2* store, const wchar_t* prefix, DWORD flags,
                        std::stop_token stop = {});
    static Reading ReadAtStart(IUrlHistoryStg2* store, std::stop_token stop = {});
    // On the apartment where the store keeps to one, else on a thread of its own.
    void StartReading(std::function<void()> whenRead);
    // False where `make` gives no store.
    bool OpenInApartment(const std::function<ComPtr<IUrlHistoryStg2>()>& make);
    // In the apartment where it has one.
    void ReleaseStore();
    // Waits for the first reading (if one is pending) while the window answers; `stop`: what is
    // read so far is enough. True where one was pending.
    bool AwaitFirstReading(bool stop) const;
    // As AwaitFirstReading, then takes it in.
    void EndFirstReading(bool stop) const;
    void Take(Reading reading) const;
    size_t Position(std::int32_t Index) const;

    // Runs a long store call off the window's thread where the store allows it.
    void OffWindowThread(const std::function<void()>& work) const;

    std::unique_ptr<ApartmentWorker> mApartment; // where the store lives, if it keeps to one
    ComPtr<IUrlHistoryStg2> mUrlHistory;
    bool mFreeThreaded = false; // ours: any thread may call it
    // Completed by the first reading on first use, hence mutable.
    mutable std::vector<EntryPtr> mEntries;
    // The first reading, on the store's thread until taken in.
    mutable bool mFirstReadingPending = false;
    mutable Reading mFirstReading;
    std::atomic<bool> mFirstReadingDone{false}; // the reading's last touch of this object
    UniqueKernelHandle mFirstReadingFinished;
    mutable std::stop_source mStopFirstReading;
    mutable std::jthread mReader; // a free-threaded store's reading thread
};

} // namespace pb
