#include "history/HistoryCleanser.h"
#include "history/VisitedStore.h"
#include "platform/Errors.h"
#include "platform/Waits.h"
#include <shlguid.h>
#include <exception>
#include <stdexcept>
#include <thread>

namespace pb {

// One reading of the store, as Refresh makes it.
struct HistoryCleanser::Reading {
    std::vector<EntryPtr> entries; // cppcheck-suppress unusedStructMember ; the list's rows
    bool listed = false;           // the enumeration began: its entries replace the list
    HRESULT hr = S_OK;
    const char* call = nullptr; // the store call that failed
    std::exception_ptr error;   // anything else that ended the reading on its own thread
};

struct HistoryCleanser::FirstReading {
    std::atomic<bool> stop{false}, done{false};
    Reading result;
    UniqueHandleW finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread thread; // last: starts once the rest is ready
};

namespace {

// The system's history store, or null where it is missing or answers E_NOTIMPL.
ComPtr<IUrlHistoryStg2> SystemHistoryStore() {
    ComPtr<IUrlHistoryStg2> system;
    if (FAILED(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&system))))
        return {};
    ComPtr<IEnumSTATURL> probe;
    if (system->EnumUrls(probe.ReleaseAndGetAddressOf()) == E_NOTIMPL)
        return {};
    return system;
}

} // namespace

HistoryCleanser::HistoryCleanser(std::function<void()> whenRead)
    : mUrlHistory(SystemHistoryStore()) {
    if (mUrlHistory) {
        Take(ReadAtStart(mUrlHistory.Get(), nullptr)); // it keeps to the thread that made it
        return;
    }
    // Ours is free-threaded. Under Wine each record costs a look into the cache index, about
    // half a millisecond: 20,000 records would keep the window from showing for ten seconds.
    mUrlHistory = CreateVisitedStore();
    StartReading(std::move(whenRead));
}

HistoryCleanser::HistoryCleanser(ComPtr<IUrlHistoryStg2> store, std::function<void()> whenRead)
    : mUrlHistory(std::move(store)) {
    if (!mUrlHistory)
        throw HResultError(E_POINTER, "Opening the URL history");
    StartReading(std::move(whenRead));
}

void HistoryCleanser::StartReading(std::function<void()> whenRead) {
    freeThreaded_ = true;
    firstReading_ = std::make_shared<FirstReading>();
    FirstReading& first = *firstReading_; // lives until this thread is joined
    first.thread = std::thread([&first, store = mUrlHistory.Get(), whenRead = std::move(whenRead)] {
        try {
            first.result = ReadAtStart(store, &first.stop);
        } catch (...) { // raised on the window's thread, where the top-level handler is
            first.result = Reading{};
            first.result.error = std::current_exception();
        }
        first.done = true;
        SetEvent(first.finished.get());
        if (whenRead)
            whenRead();
    });
}

HistoryCleanser::HistoryCleanser(ComPtr<IUrlHistoryStg2> store) : mUrlHistory(std::move(store)) {
    if (!mUrlHistory)
        throw HResultError(E_POINTER, "Opening the URL history");
    Take(ReadAtStart(mUrlHistory.Get(), nullptr));
}

HistoryCleanser::~HistoryCleanser() {
    if (firstReading_) {
        firstReading_->stop = true; // nobody will read the list now
        firstReading_->thread.join();
    }
}

HistoryCleanser::Reading HistoryCleanser::Read(IUrlHistoryStg2* store, const wchar_t* prefix,
                                               DWORD flags, const std::atomic<bool>* stop) {
    Reading r;
    ComPtr<IEnumSTATURL> urls;
    if (FAILED(r.hr = store->EnumUrls(urls.ReleaseAndGetAddressOf()))) {
        r.call = "IUrlHistoryStg::EnumUrls";
        return r;
    }
    if (FAILED(r.hr = urls->SetFilter(prefix, flags))) {
        r.call = "IEnumSTATURL::SetFilter";
        return r;
    }
    r.listed = true;
    STATURL buffer{};
    buffer.cbSize = sizeof buffer;
    while (!(stop && *stop)) {
        ULONG fetched = 0;
        if (FAILED(r.hr = urls->Next(1, &buffer, &fetched))) {
            r.call = "IEnumSTATURL::Next";
            break;
        }
        if (fetched == 0)
            break;
        auto entry = std::make_shared<HistoryEntry>();
        entry->SetStatUrl(buffer);
        buffer.pwcsUrl = buffer.pwcsTitle = nullptr; // the entry owns them now
        r.entries.push_back(std::move(entry));
    }
    if (SUCCEEDED(r.hr))
        r.hr = S_OK; // S_FALSE: the end of the list
    return r;
}

HistoryCleanser::Reading HistoryCleanser::ReadAtStart(IUrlHistoryStg2* store,
                                                      const std::atomic<bool>* stop) {
    Reading r = Read(store, nullptr, 0, stop);
    // One record that cannot be read (a damaged or oversized one) must not keep the program
    // from starting, and so from the clear that would remove it: the list is what was read.
    if (r.listed && FAILED(r.hr)) {
        r.hr = S_OK;
        r.call = nullptr;
    }
    return r;
}

void HistoryCleanser::Take(Reading reading) const {
    if (reading.error)
        std::rethrow_exception(reading.error);
    if (reading.listed)
        mEntries = std::move(reading.entries);
    ThrowIfFailed(reading.hr, reading.call);
}

std::shared_ptr<HistoryCleanser::FirstReading> HistoryCleanser::EndFirstReading(bool stop) const {
    // Held here, not referred to: whatever runs while the window is answered may take it.
    const std::shared_ptr<FirstReading> first = firstReading_;
    if (!first)
        return nullptr;
    if (stop)
        first->stop = true;
    WaitPumping(
        first->finished.get(), [&] { return first->done.load(); }, WaitInput::Leave);
    if (firstReading_ != first)
        return nullptr;
    firstReading_.reset();
    first->thread.join();
    return first;
}

void HistoryCleanser::Settle() const {
    if (const auto first = EndFirstReading(false))
        Take(std::move(first->result));
}

void HistoryCleanser::Refresh(const std::optional<std::wstring>& URLStartsWith,
                              std::int32_t Flags) {
    Settle();
    Reading reading;
    Aside([&] {
        reading = Read(mUrlHistory.Get(), URLStartsWith ? URLStartsWith->c_str() : nullptr,
                       static_cast<DWORD>(Flags), nullptr);
    });
    Take(std::move(reading));
}

void HistoryCleanser::Aside(const std::function<void()>& work) const {
    if (freeThreaded_)
        RunAside(work);
    else
        work(); // the system's store keeps to the thread that made it
}

std::int32_t HistoryCleanser::Count() const {
    Settle();
    return static_cast<std::int32_t>(mEntries.size());
}

std::vector<HistoryCleanser::EntryPtr>::const_iterator HistoryCleanser::begin() const {
    Settle();
    return mEntries.begin();
}

std::vector<HistoryCleanser::EntryPtr>::const_iterator HistoryCleanser::end() const {
    Settle();
    return mEntries.end();
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
    Settle(); // the new address must not show before the next Refresh
    ThrowIfFailed(mUrlHistory->AddUrl(URL.c_str(), Title.c_str(), static_cast<DWORD>(Flags)),
                  "IUrlHistoryStg::AddUrl");
}

void HistoryCleanser::DeleteURL(const std::wstring& URL, std::int32_t Flags) {
    Settle();
    ThrowIfFailed(mUrlHistory->DeleteUrl(URL.c_str(), static_cast<DWORD>(Flags)),
                  "IUrlHistoryStg::DeleteUrl");
    Refresh();
}

void HistoryCleanser::Clear() {
    // A reading of what is about to go: it stops, and what it read so far stays the list should
    // the clear fail.
    if (const auto first = EndFirstReading(true))
        Take(std::move(first->result));
    HRESULT hr = S_OK;
    Aside([&] { hr = mUrlHistory->ClearHistory(); });
    ThrowIfFailed(hr, "IUrlHistoryStg2::ClearHistory");
    Refresh();
}

} // namespace pb
