#include "history/VisitedStore.h"
#include "platform/CacheEntryBuffer.h"
#include "platform/RefCounted.h"
#include "platform/Text.h"
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

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

    CacheEntryBuffer buffer_;
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
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, LPSTATURL rgelt, ULONG* fetched) override {
        if (!rgelt)
            return E_POINTER;
        ULONG n = 0;
        VisitedRecord r;
        while (n < celt && NextMatch(r)) {
            STATURL& s = rgelt[n];
            s.pwcsUrl = TaskString(r.url);
            s.pwcsTitle = r.title.empty() ? nullptr : TaskString(r.title);
            s.ftLastVisited = r.visited;
            s.ftLastUpdated = r.updated;
            s.ftExpires = r.expires;
            s.dwFlags = r.flags;
            if (!s.pwcsUrl)
                return E_OUTOFMEMORY;
            ++n;
        }
        if (fetched)
            *fetched = n;
        if (FAILED(search_->error()))
            return search_->error();
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        VisitedRecord r;
        for (; celt > 0; --celt)
            if (!NextMatch(r))
                return FAILED(search_->error()) ? search_->error() : S_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        search_ = std::make_unique<VisitedSearch>();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR filter, DWORD) override {
        filter_ = filter ? filter : L"";
        return S_OK;
    }

  private:
    // The next record the filter passes; false at the end.
    bool NextMatch(VisitedRecord& r) {
        while (search_->Next(r))
            if (StartsWithIgnoringCase(r.url, filter_))
                return true;
        return false;
    }

    std::unique_ptr<VisitedSearch> search_ = std::make_unique<VisitedSearch>();
    std::wstring filter_;
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
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR url, LPCOLESTR title, DWORD flags) override {
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
        if (flags) {
            INTERNET_CACHE_ENTRY_INFOA info{};
            info.dwStructSize = sizeof info;
            info.dwExemptDelta = flags;
            SetUrlCacheEntryInfoA(key.c_str(), &info, CACHE_ENTRY_EXEMPT_DELTA_FC);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR url, DWORD) override {
        if (!url)
            return E_INVALIDARG;
        VisitedSearch search;
        VisitedRecord r;
        while (search.Next(r))
            if (r.url == url && !DeleteUrlCacheEntryA(r.key.c_str()))
                return HRESULT_FROM_WIN32(GetLastError());
        return search.error();
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
