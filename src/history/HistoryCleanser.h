#pragma once
#include "history/HistoryEntry.h"
#include "platform/Handles.h"
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
    HistoryCleanser();
    // Uses the given store; reads all of it.
    explicit HistoryCleanser(ComPtr<IUrlHistoryStg2> store);

    void AddURL(const std::wstring& URL, const std::wstring& Title, std::int32_t Flags);
    std::int32_t Count() const { return static_cast<std::int32_t>(mEntries.size()); }
    void Clear();
    // No prefix: the whole history.
    void Refresh(const std::optional<std::wstring>& URLStartsWith = std::nullopt,
                 std::int32_t Flags = 0);
    EntryPtr Item(std::int32_t Index) const;
    void Remove(std::int32_t Index);
    void DeleteURL(const std::wstring& URL, std::int32_t Flags);

    // Iteration in list order stands in for the collection's enumerator.
    auto begin() const { return mEntries.begin(); }
    auto end() const { return mEntries.end(); }

  private:
    size_t Position(std::int32_t Index) const;

    ComPtr<IUrlHistoryStg2> mUrlHistory;
    std::vector<EntryPtr> mEntries;
};

// The store to use: the system's history store, or ours where the system's is missing or
// answers E_NOTIMPL.
ComPtr<IUrlHistoryStg2> OpenHistoryStore();

} // namespace pb
