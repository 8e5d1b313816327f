#include "history/HistoryCleanser.h"
#include "history/VisitedStore.h"
#include "platform/Errors.h"
#include "platform/Pump.h"
#include <shlguid.h>
#include <exception>
#include <stdexcept>
#include <thread>

namespace pb {

// One reading of the store, as Refresh makes it.
struct HistoryCleanser::Reading {
    std::vector<EntryPtr> entries;
    bool listed = false; // the enumeration began: its entries replace the list
    HRESULT hr = S_OK;
    const char* call = nullptr; // the store call that failed
    std::exception_ptr error;   // anything else that ended the reading on its own thread
};

struct HistoryCleanser::FirstReading {
    std::atomic<bool> stop{false}, done{false}, held{false};
    Reading result;
    UniqueHandleW finished{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandleW going{CreateEventW(nullptr, TRUE, TRUE, nullptr)}; // reset: held between records
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
        Refresh(); // the system's store keeps to the thread that made it
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
    firstReading_ = std::make_unique<FirstReading>();
    FirstReading& first = *firstReading_;
    first.thread = std::thread([&first, store = mUrlHistory.Get(), whenRead = std::move(whenRead)] {
        try {
            first.result = Read(store, nullptr, 0, &first);
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
    Refresh();
}

HistoryCleanser::~HistoryCleanser() {
    if (firstReading_) {
        firstReading_->stop = true; // nobody will read the list now
        SetEvent(firstReading_->going.get());
        firstReading_->thread.join();
    }
}

HistoryCleanser::Reading HistoryCleanser::Read(IUrlHistoryStg2* store, const wchar_t* prefix,
                                               DWORD flags, FirstReading* first) {
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
    for (;;) {
        if (first) {
            if (first->held) // a look at the event alone would cost a call per record
                WaitForSingleObject(first->going.get(), INFINITE);
            if (first->stop)
                break;
        }
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

void HistoryCleanser::Take(Reading reading) const {
    if (reading.error)
        std::rethrow_exception(reading.error);
    if (reading.listed)
        mEntries = std::move(reading.entries);
    ThrowIfFailed(reading.hr, reading.call);
}

void HistoryCleanser::Settle() const {
    if (!firstReading_)
        return;
    FirstReading& first = *firstReading_;
    WaitPumping(
        first.finished.get(), [&] { return first.done.load(); }, WaitInput::Leave);
    first.thread.join();
    Reading reading = std::move(firstReading_->result);
    firstReading_.reset();
    Take(std::move(reading));
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
    HRESULT hr = S_OK;
    if (firstReading_) {
        // Still reading what a clear that works replaces at once: the reading is held while
        // the store clears, then dropped; after a failed clear it goes on, and the list is the
        // store as at creation, as usual.
        FirstReading& first = *firstReading_;
        struct GoOn {
            FirstReading& first;
            ~GoOn() {
                first.held = false;
                SetEvent(first.going.get());
            }
        } goOn{first};
        ResetEvent(first.going.get());
        first.held = true;
        Aside([&] { hr = mUrlHistory->ClearHistory(); });
        first.stop = SUCCEEDED(hr);
    } else {
        Aside([&] { hr = mUrlHistory->ClearHistory(); });
    }
    Settle();
    ThrowIfFailed(hr, "IUrlHistoryStg2::ClearHistory");
    Refresh();
}

} // namespace pb
