#pragma once
#include "history/HistoryEntry.h"
#include "platform/Handles.h"
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pb {

// The URL history store as an ordered list of entries, positions 1 to Count. The list is a
// snapshot of the store as of the last Refresh, less the entries taken out by Remove.
// Every failing store call raises HResultError; the list is then as the member documents.
class HistoryCleanser {
  public:
    using EntryPtr = std::shared_ptr<HistoryEntry>;

    // Opens the system's store (or ours where the system has none) and reads all of it.
    // Our store is read on a thread of its own, so that a long history does not hold up the
    // window: every member first waits for that reading, so the list is still the store as
    // it was at creation. `whenRead` is called on that thread once the reading is done.
    explicit HistoryCleanser(std::function<void()> whenRead = {});
    // Uses the given store; reads all of it before returning.
    explicit HistoryCleanser(ComPtr<IUrlHistoryStg2> store);
    // Uses the given free-threaded store, read on a thread of its own as above.
    HistoryCleanser(ComPtr<IUrlHistoryStg2> store, std::function<void()> whenRead);
    ~HistoryCleanser();
    HistoryCleanser(const HistoryCleanser&) = delete;
    HistoryCleanser& operator=(const HistoryCleanser&) = delete;

    void AddURL(const std::wstring& URL, const std::wstring& Title, std::int32_t Flags);
    std::int32_t Count() const;
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

    // Waits for the first reading and takes it in; raises its error, as creation would have.
    void Settle() const;

  private:
    struct Reading;
    struct FirstReading;
    // `first`: the first reading's controls, which stop it or hold it between records.
    static Reading Read(IUrlHistoryStg2* store, const wchar_t* prefix, DWORD flags,
                        FirstReading* first);
    void StartReading(std::function<void()> whenRead);
    void Take(Reading reading) const;
    size_t Position(std::int32_t Index) const;

    // Runs a long store call off the window's thread where the store allows it.
    void Aside(const std::function<void()>& work) const;

    ComPtr<IUrlHistoryStg2> mUrlHistory;
    bool freeThreaded_ = false; // ours: any thread may call it
    // Both complete the first reading on first use, hence mutable.
    mutable std::vector<EntryPtr> mEntries;
    mutable std::unique_ptr<FirstReading> firstReading_;
};

} // namespace pb
