#pragma once
// A scripted URL history store: records in a list, failures on demand, calls remembered.
#include "platform/RefCounted.h"
#include <urlhist.h>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace pbtest {

inline wchar_t* TaskCopy(const wchar_t* s) {
    if (!s)
        return nullptr;
    const size_t n = wcslen(s) + 1;
    auto* p = static_cast<wchar_t*>(CoTaskMemAlloc(n * sizeof(wchar_t)));
    wmemcpy(p, s, n);
    return p;
}

struct FakeRecord {
    std::wstring url;
    const wchar_t* title; // may be null
    FILETIME visited{};
    DWORD flags = 0;
};

// What the store holds and does, and what was asked of it.
struct FakeState {
    std::vector<FakeRecord> records;
    HRESULT enumResult = S_OK, filterResult = S_OK, deleteResult = S_OK, clearResult = S_OK;
    int failNextAt = -1;      // the n-th record fetched (0-based) fails
    bool throwInNext = false; // as an allocation failure while reading would
    std::vector<std::wstring> deleted, added;
    std::vector<std::pair<bool, std::wstring>> filters; // (given, prefix)
    DWORD lastFilterFlags = 0;
    std::function<void()> onClear; // called as the clear begins, on the thread that clears
    std::function<void()> onNext;  // called as each Next begins, on the thread that reads
    DWORD releasedOn = 0;          // the thread that released the store
};

// Just enough IUnknown for objects only the tests hold.
template <typename Interface> class TestObject : public pb::RefCounted<Interface> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
};

class FakeEnum final : public TestObject<IEnumSTATURL> {
  public:
    explicit FakeEnum(FakeState& s) : s_(s) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG, LPSTATURL out, ULONG* fetched) override {
        *fetched = 0;
        if (s_.onNext)
            s_.onNext();
        if (s_.throwInNext)
            throw std::bad_alloc();
        while (pos_ < s_.records.size() && s_.records[pos_].url.rfind(prefix_, 0) != 0)
            ++pos_;
        if (static_cast<int>(served_) == s_.failNextAt)
            return E_FAIL;
        if (pos_ >= s_.records.size())
            return S_FALSE;
        const FakeRecord& r = s_.records[pos_++];
        ++served_;
        out->pwcsUrl = TaskCopy(r.url.c_str());
        out->pwcsTitle = TaskCopy(r.title);
        out->ftLastVisited = out->ftLastUpdated = out->ftExpires = r.visited;
        out->dwFlags = r.flags;
        *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR filter, DWORD flags) override {
        s_.filters.emplace_back(filter != nullptr, filter ? filter : L"");
        s_.lastFilterFlags = flags;
        prefix_ = filter ? filter : L"";
        return s_.filterResult;
    }

  private:
    FakeState& s_;
    size_t pos_ = 0, served_ = 0;
    std::wstring prefix_;
};

class FakeStore final : public TestObject<IUrlHistoryStg2> {
  public:
    explicit FakeStore(FakeState& s) : s_(s) {}
    ~FakeStore() override { s_.releasedOn = GetCurrentThreadId(); }
    FakeStore(const FakeStore&) = delete;
    FakeStore& operator=(const FakeStore&) = delete;
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR url, LPCOLESTR title, DWORD) override {
        s_.added.emplace_back(url);
        s_.records.push_back({url, title ? L"added" : nullptr});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR url, DWORD) override {
        if (FAILED(s_.deleteResult))
            return s_.deleteResult;
        s_.deleted.emplace_back(url);
        std::erase_if(s_.records, [&](const FakeRecord& r) { return r.url == url; });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** out) override {
        if (FAILED(s_.enumResult))
            return s_.enumResult;
        *out = new FakeEnum(s_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, WINBOOL,
                                              IOleCommandTarget*, IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClearHistory() override {
        if (s_.onClear)
            s_.onClear();
        if (FAILED(s_.clearResult))
            return s_.clearResult;
        s_.records.clear();
        return S_OK;
    }

  private:
    FakeState& s_;
};

} // namespace pbtest
