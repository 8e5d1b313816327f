#include "history/HistoryCleanser.h"
#include "history/VisitedStore.h"
#include "platform/Errors.h"
#include <shlguid.h>
#include <stdexcept>

namespace pb {

ComPtr<IUrlHistoryStg2> OpenHistoryStore() {
    ComPtr<IUrlHistoryStg2> system;
    if (SUCCEEDED(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUrlHistoryStg2, system.put_void()))) {
        ComPtr<IEnumSTATURL> probe;
        if (system->EnumUrls(probe.put()) != E_NOTIMPL)
            return system;
    }
    return CreateVisitedStore();
}

HistoryCleanser::HistoryCleanser() : HistoryCleanser(OpenHistoryStore()) {}

HistoryCleanser::HistoryCleanser(ComPtr<IUrlHistoryStg2> store) : mUrlHistory(std::move(store)) {
    if (!mUrlHistory)
        throw HResultError(E_POINTER, "Opening the URL history");
    Refresh();
}

void HistoryCleanser::Refresh(const std::optional<std::wstring>& URLStartsWith,
                              std::int32_t Flags) {
    STATURL buffer{};
    buffer.cbSize = sizeof buffer;
    ComPtr<IEnumSTATURL> urls;
    ThrowIfFailed(mUrlHistory->EnumUrls(urls.put()), "IUrlHistoryStg::EnumUrls");
    ThrowIfFailed(urls->SetFilter(URLStartsWith ? URLStartsWith->c_str() : nullptr,
                                  static_cast<DWORD>(Flags)),
                  "IEnumSTATURL::SetFilter");
    mEntries.clear();
    for (;;) {
        ULONG fetched = 0;
        ThrowIfFailed(urls->Next(1, &buffer, &fetched), "IEnumSTATURL::Next");
        if (fetched == 0)
            break;
        auto entry = std::make_shared<HistoryEntry>();
        entry->SetStatUrl(buffer);
        buffer.pwcsUrl = buffer.pwcsTitle = nullptr; // the entry owns them now
        mEntries.push_back(std::move(entry));
    }
}

size_t HistoryCleanser::Position(std::int32_t Index) const {
    if (Index < 1 || Index > Count())
        throw std::out_of_range("Subscript out of range");
    return static_cast<size_t>(Index - 1);
}

HistoryCleanser::EntryPtr HistoryCleanser::Item(std::int32_t Index) const {
    return mEntries[Position(Index)];
}

void HistoryCleanser::Remove(std::int32_t Index) {
    const size_t pos = Position(Index);
    const std::wstring url = mEntries[pos]->URL();
    ThrowIfFailed(mUrlHistory->DeleteUrl(url.c_str(), 0), "IUrlHistoryStg::DeleteUrl");
    mEntries.erase(mEntries.begin() + static_cast<std::ptrdiff_t>(pos));
}

void HistoryCleanser::AddURL(const std::wstring& URL, const std::wstring& Title,
                             std::int32_t Flags) {
    ThrowIfFailed(mUrlHistory->AddUrl(URL.c_str(), Title.c_str(), static_cast<DWORD>(Flags)),
                  "IUrlHistoryStg::AddUrl");
}

void HistoryCleanser::DeleteURL(const std::wstring& URL, std::int32_t Flags) {
    ThrowIfFailed(mUrlHistory->DeleteUrl(URL.c_str(), static_cast<DWORD>(Flags)),
                  "IUrlHistoryStg::DeleteUrl");
    Refresh();
}

void HistoryCleanser::Clear() {
    ThrowIfFailed(mUrlHistory->ClearHistory(), "IUrlHistoryStg2::ClearHistory");
    Refresh();
}

} // namespace pb
