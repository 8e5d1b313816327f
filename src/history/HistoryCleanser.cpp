#include "history/HistoryCleanser.h"
#include "history/VisitedStore.h"
#include "platform/Errors.h"
#include "platform/Waits.h"
#include <shlguid.h>
#include <exception>
#include <stdexcept>

namespace pb {

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

HistoryCleanser::HistoryCleanser(std::function<void()> whenRead) {
    if (!OpenInApartment(&SystemHistoryStore)) {
        mUrlHistory = CreateVisitedStore();
        mFreeThreaded = true;
    }
    // Under Wine each record of ours costs a look into the cache index, about half a
    // millisecond: 20,000 records read here would keep the window from showing for ten seconds.
    StartReading(std::move(whenRead));
}

HistoryCleanser::HistoryCleanser(const ApartmentStore& store) {
    if (!OpenInApartment(store.make))
        throw HResultError(E_POINTER, "Opening the URL history");
    StartReading(store.whenRead);
}

HistoryCleanser::HistoryCleanser(ComPtr<IUrlHistoryStg2> store, std::function<void()> whenRead)
    : mUrlHistory(std::move(store)), mFreeThreaded(true) {
    if (!mUrlHistory)
        throw HResultError(E_POINTER, "Opening the URL history");
    StartReading(std::move(whenRead));
}

HistoryCleanser::HistoryCleanser(ComPtr<IUrlHistoryStg2> store) : mUrlHistory(std::move(store)) {
    if (!mUrlHistory)
        throw HResultError(E_POINTER, "Opening the URL history");
    Take(ReadAtStart(mUrlHistory.Get()));
}

bool HistoryCleanser::OpenInApartment(const std::function<ComPtr<IUrlHistoryStg2>()>& make) {
    auto apartment = std::make_unique<ApartmentWorker>();
    ComPtr<IUrlHistoryStg2> store;
    apartment->Run([&] { store = make(); });
    if (!store)
        return false;
    mApartment = std::move(apartment);
    mUrlHistory = std::move(store);
    return true;
}

void HistoryCleanser::StartReading(std::function<void()> whenRead) {
    mFirstReadingPending = true;
    mFirstReadingFinished.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto read = [this, stop = mStopFirstReading.get_token(), whenRead = std::move(whenRead)] {
        try {
            mFirstReading = ReadAtStart(mUrlHistory.Get(), stop);
        } catch (...) { // raised on the window's thread, where the top-level handler is
            mFirstReading = Reading{};
            mFirstReading.error = std::current_exception();
        }
        SetEvent(mFirstReadingFinished.get());
        mFirstReadingDone = true; // this object may go from here on
        if (whenRead)
            whenRead();
    };
    try {
        if (mApartment)
            mApartment->Post(std::move(read));
        else
            mReader = std::jthread(std::move(read));
    } catch (...) { // no destructor runs to do it
        ReleaseStore();
        throw;
    }
}

// A reading still under way stops first: nobody will read the list now.
HistoryCleanser::~HistoryCleanser() {
    try {
        AwaitFirstReading(true);
        ReleaseStore();
    } catch (...) { // nothing to tell anyone on the way out
    }
}

void HistoryCleanser::ReleaseStore() {
    if (mApartment)
        mApartment->Run([this] { mUrlHistory.Reset(); });
}

HistoryCleanser::Reading HistoryCleanser::Read(IUrlHistoryStg2* store, const wchar_t* prefix,
                                               DWORD flags, std::stop_token stop) {
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
    while (!stop.stop_requested()) {
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
                                                      std::stop_token stop) {
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

bool HistoryCleanser::AwaitFirstReading(bool stop) const {
    if (!mFirstReadingPending)
        return false;
    if (stop)
        mStopFirstReading.request_stop();
    WaitPumping(
        mFirstReadingFinished.get(), [this] { return mFirstReadingDone.load(); },
        WaitInput::AnswerOnly);
    if (mReader.joinable())
        mReader.join();
    mFirstReadingPending = false;
    return true;
}

void HistoryCleanser::EndFirstReading(bool stop) const {
    if (AwaitFirstReading(stop))
        Take(std::move(mFirstReading));
}

void HistoryCleanser::TakeFirstReading() const {
    EndFirstReading(false);
}

void HistoryCleanser::Refresh(const std::optional<std::wstring>& URLStartsWith,
                              std::int32_t Flags) {
    TakeFirstReading();
    Reading reading;
    OffWindowThread([&] {
        reading = Read(mUrlHistory.Get(), URLStartsWith ? URLStartsWith->c_str() : nullptr,
                       static_cast<DWORD>(Flags));
    });
    Take(std::move(reading));
}

void HistoryCleanser::OffWindowThread(const std::function<void()>& work) const {
    if (mApartment)
        mApartment->Run(work); // the only thread the store may be called on
    else if (mFreeThreaded)
        RunOnWorkerThread(work);
    else
        work();
}

std::int32_t HistoryCleanser::Count() const {
    TakeFirstReading();
    return static_cast<std::int32_t>(mEntries.size());
}

std::vector<HistoryCleanser::EntryPtr>::const_iterator HistoryCleanser::begin() const {
    TakeFirstReading();
    return mEntries.begin();
}

std::vector<HistoryCleanser::EntryPtr>::const_iterator HistoryCleanser::end() const {
    TakeFirstReading();
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
    // A deletion looks through the whole store: the window answers meanwhile.
    HRESULT hr = S_OK;
    OffWindowThread([&] { hr = mUrlHistory->DeleteUrl(url.c_str(), 0); });
    ThrowIfFailed(hr, "IUrlHistoryStg::DeleteUrl");
    mEntries.erase(mEntries.begin() + static_cast<std::ptrdiff_t>(pos));
}

void HistoryCleanser::AddURL(const std::wstring& URL, const std::wstring& Title,
                             std::int32_t Flags) {
    TakeFirstReading(); // the new address must not show before the next Refresh
    HRESULT hr = S_OK;
    OffWindowThread(
        [&] { hr = mUrlHistory->AddUrl(URL.c_str(), Title.c_str(), static_cast<DWORD>(Flags)); });
    ThrowIfFailed(hr, "IUrlHistoryStg::AddUrl");
}

void HistoryCleanser::DeleteURL(const std::wstring& URL, std::int32_t Flags) {
    TakeFirstReading();
    HRESULT hr = S_OK;
    OffWindowThread([&] { hr = mUrlHistory->DeleteUrl(URL.c_str(), static_cast<DWORD>(Flags)); });
    ThrowIfFailed(hr, "IUrlHistoryStg::DeleteUrl");
    Refresh();
}

void HistoryCleanser::Clear() {
    // A reading of what is about to go: it stops, and what it read so far stays the list should
    // the clear fail.
    EndFirstReading(true);
    HRESULT hr = S_OK;
    OffWindowThread([&] { hr = mUrlHistory->ClearHistory(); });
    ThrowIfFailed(hr, "IUrlHistoryStg2::ClearHistory");
    Refresh();
}

} // namespace pb
