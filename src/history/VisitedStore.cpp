#include "history/VisitedStore.h"
#include "Seams.h"
#include "platform/CacheEntryBuffer.h"
#include "platform/RefCounted.h"
#include "platform/Text.h"
#include <algorithm>
#include <memory>
#include <string>
#include <utility>

namespace pb {

namespace {

struct VisitedRecord {
    std::string key; // the cache entry's own name: "Visited: user@url"
    std::wstring url, title;
    FILETIME visited, updated, expires;
    DWORD flags;
};

std::string CurrentUser() {
    char name[257] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? name : "user";
}

// Walks the history container one record at a time, so that a reading can stop part way and
// a clear deletes as it goes.
class VisitedSearch {
  public:
    VisitedSearch() = default;
    VisitedSearch(const VisitedSearch&) = delete;
    VisitedSearch& operator=(const VisitedSearch&) = delete;

    // The next record; false at the end, or on a failed call, whose code error() then gives.
    bool Next(VisitedRecord& out) {
        while (!ended_) {
            DWORD err = 0;
            bool found;
            if (!search_.get()) {
                search_.reset(buffer_.First(&FindFirstUrlCacheEntryA, kHistoryEntryPrefix, err));
                found = search_.get() != nullptr;
                if (!found && err == 0)
                    err = ERROR_NO_MORE_ITEMS;
            } else {
                found = buffer_.Next(&FindNextUrlCacheEntryA, search_.get(), err);
            }
            if (!found) {
                ended_ = true;
                if (err != ERROR_NO_MORE_ITEMS)
                    error_ = HRESULT_FROM_WIN32(err);
                const char* name = nullptr;
                if (err == ERROR_INSUFFICIENT_BUFFER && (name = buffer_.NameOfEntryTooLarge()) &&
                    IsHistoryEntryName(name))
                    tooLarge_ = name;
            } else if (ToRecord(*buffer_.info(), out)) {
                return true;
            }
        }
        return false;
    }
    HRESULT error() const { return error_; }

    // The name of the record that ended the search by being too large to read, where known.
    const std::string& tooLarge() const { return tooLarge_; }
    // Goes on after that record: the search moves past it once it is deleted.
    void Resume() {
        ended_ = false;
        error_ = S_OK;
        tooLarge_.clear();
    }

  private:
    static bool ToRecord(const INTERNET_CACHE_ENTRY_INFOA& e, VisitedRecord& out) {
        if (!IsHistoryEntryName(e.lpszSourceUrlName))
            return false;
        const std::string key = e.lpszSourceUrlName;
        // "Visited: user@url": the user name cannot hold '@'; the address after it may.
        const size_t start =
            std::min(key.find_first_not_of(' ', sizeof kHistoryEntryPrefix - 1), key.size());
        const size_t at = key.find('@', start);
        const std::string url = at == std::string::npos ? key.substr(start) : key.substr(at + 1);
        std::string title;
        if (e.lpHeaderInfo && e.dwHeaderInfoSize)
            title.assign(e.lpHeaderInfo, strnlen(e.lpHeaderInfo, e.dwHeaderInfoSize));
        out = {key,
               Widen(url, CP_UTF8),
               Widen(title, CP_UTF8),
               e.LastAccessTime,
               e.LastModifiedTime,
               e.ExpireTime,
               e.dwExemptDelta};
        return true;
    }

    // A title is whatever the page said: a record far larger than any cache entry is still the
    // user's, and one the search cannot read stops it there for good (WinInet stays on it).
    static constexpr DWORD kMaxRecord = 64u << 20;
    CacheEntryBuffer buffer_{seams::historyRecordLimit ? seams::historyRecordLimit.get()()
                                                       : kMaxRecord};
    CacheSearch search_{&FindCloseUrlCache};
    bool ended_ = false;
    HRESULT error_ = S_OK;
    std::string tooLarge_;
};

wchar_t* TaskString(const std::wstring& s) {
    auto* p = static_cast<wchar_t*>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
    if (p)
        std::copy(s.c_str(), s.c_str() + s.size() + 1, p);
    return p;
}

class VisitedEnum final : public RefCounted<IEnumSTATURL> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumSTATURL) {
            *ppv = static_cast<IEnumSTATURL*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Succeeds with what it returns, or fails having returned nothing (every string null). A
    // record that cannot be read ends the batch before it with S_FALSE, what was read so far
    // returned; the next call fails with its error.
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, LPSTATURL rgelt, ULONG* fetched) override {
        if (fetched)
            *fetched = 0;
        if (!rgelt || (celt > 1 && !fetched))
            return E_POINTER;
        HRESULT hr = S_OK;
        ULONG n = 0;
        for (VisitedRecord r; n < celt && NextMatch(r);)
            if (!ToStatUrl(r, rgelt[n++])) { // n counts a failed one too: freed below
                hr = E_OUTOFMEMORY;
                break;
            }
        if (n == 0 && celt > 0)
            hr = search_->error();
        if (FAILED(hr)) {
            for (ULONG i = 0; i < n; ++i) {
                CoTaskMemFree(rgelt[i].pwcsUrl);
                CoTaskMemFree(rgelt[i].pwcsTitle);
            }
            for (ULONG i = 0; i < celt; ++i) // a caller that frees them all frees nothing twice
                rgelt[i].pwcsUrl = rgelt[i].pwcsTitle = nullptr;
            return hr;
        }
        position_ += n;
        if (fetched)
            *fetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    // As Next: stops before a record that cannot be read (S_FALSE), failing on the next call.
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        VisitedRecord r;
        for (ULONG skipped = 0; skipped < celt; ++skipped, ++position_)
            if (!NextMatch(r))
                return skipped == 0 && FAILED(search_->error()) ? search_->error() : S_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        search_ = std::make_unique<VisitedSearch>();
        position_ = 0;
        return S_OK;
    }
    // A new search with the same filter, moved on as far as this one.
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        auto copy = Adopt<VisitedEnum>(new VisitedEnum());
        copy->filter_ = filter_;
        copy->flags_ = flags_;
        for (ULONG skipped = 0; skipped < position_; ++skipped) {
            VisitedRecord r;
            if (!copy->NextMatch(r))
                break; // the store changed meanwhile: the copy stands at its end
            ++copy->position_;
        }
        *out = copy.Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR filter, DWORD flags) override {
        filter_ = filter ? filter : L"";
        flags_ = flags;
        return S_OK;
    }

  private:
    // False where a string cannot be allocated; the other one then is too.
    bool ToStatUrl(const VisitedRecord& r, STATURL& s) const {
        s.pwcsUrl = (flags_ & STATURL_QUERYFLAG_NOURL) ? nullptr : TaskString(r.url);
        s.pwcsTitle =
            (flags_ & STATURL_QUERYFLAG_NOTITLE) || r.title.empty() ? nullptr : TaskString(r.title);
        s.ftLastVisited = r.visited;
        s.ftLastUpdated = r.updated;
        s.ftExpires = r.expires;
        s.dwFlags = 0;
        return (s.pwcsUrl || (flags_ & STATURL_QUERYFLAG_NOURL)) &&
               (s.pwcsTitle || (flags_ & STATURL_QUERYFLAG_NOTITLE) || r.title.empty());
    }

    // The next record the filter passes; false at the end.
    bool NextMatch(VisitedRecord& r) {
        while (search_->Next(r))
            if (StartsWithIgnoringCase(r.url, filter_))
                return true;
        return false;
    }

    std::unique_ptr<VisitedSearch> search_ = std::make_unique<VisitedSearch>();
    std::wstring filter_;
    DWORD flags_ = 0;
    ULONG position_ = 0; // records returned or skipped since the start
};

class VisitedStore final : public RefCounted<IUrlHistoryStg2> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IUrlHistoryStg || riid == IID_IUrlHistoryStg2) {
            *ppv = static_cast<IUrlHistoryStg2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Its flags ask for a copy in the content cache as well, which the store cannot make: the
    // history record is kept either way.
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR url, LPCOLESTR title, DWORD) override {
        if (!url || !*url)
            return E_INVALIDARG;
        const std::string key =
            std::string(kHistoryEntryPrefix) + " " + CurrentUser() + "@" + Narrow(url, CP_UTF8);
        std::string header = title ? Narrow(title, CP_UTF8) : std::string();
        FILETIME now, never{};
        GetSystemTimeAsFileTime(&now);
        if (!CommitUrlCacheEntryA(key.c_str(), nullptr, never, now,
                                  NORMAL_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY,
                                  header.empty() ? nullptr : reinterpret_cast<BYTE*>(header.data()),
                                  static_cast<DWORD>(header.size()), nullptr, nullptr))
            return HRESULT_FROM_WIN32(GetLastError());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR url, DWORD) override {
        if (!url)
            return E_INVALIDARG;
        // Matched as the filter matches: the same text lists and deletes the same records.
        VisitedSearch search;
        VisitedRecord r;
        bool matched = false;
        while (search.Next(r))
            if (EqualsIgnoringCase(r.url, url)) {
                if (!DeleteUrlCacheEntryA(r.key.c_str()))
                    return HRESULT_FROM_WIN32(GetLastError());
                matched = true;
            }
        if (FAILED(search.error()))
            return search.error();
        return matched ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** out) override {
        if (!out)
            return E_POINTER;
        *out = new VisitedEnum();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, WINBOOL,
                                              IOleCommandTarget*, IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClearHistory() override {
        VisitedSearch search;
        VisitedRecord r;
        bool all = true;
        for (;;) {
            while (search.Next(r))
                all = DeleteUrlCacheEntryA(r.key.c_str()) && all; // an entry in use stays
            // A record too large to read still goes by its name, and the search goes on; one that
            // cannot go (in use) stays like any other, and the search cannot pass it.
            if (search.tooLarge().empty())
                break;
            const bool deleted = DeleteUrlCacheEntryA(search.tooLarge().c_str());
            search.Resume();
            if (!deleted) {
                all = false;
                break;
            }
        }
        if (FAILED(search.error()))
            return search.error();
        return all ? S_OK : S_FALSE;
    }
};

} // namespace

ComPtr<IUrlHistoryStg2> CreateVisitedStore() {
    return Adopt<IUrlHistoryStg2>(new VisitedStore());
}

} // namespace pb
