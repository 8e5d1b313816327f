#pragma once
#include <windows.h>
#include <wininet.h>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pb {

// One record buffer for a whole WinInet cache search. It only grows, when an entry asks for
// more room than it has (error 122 with the size needed); nothing is allocated per entry.
class CacheEntryBuffer {
  public:
    static constexpr DWORD kInitialSize = 2048;
    // No sound entry comes near this (an address, a file name and headers): a corrupt index
    // asking for more ends the search with error 122, as a failed call, instead of hanging
    // the search or running out of memory.
    static constexpr DWORD kMaxSize = 1 << 20;

    // A larger limit for a store whose records hold what the user's own pages gave them.
    explicit CacheEntryBuffer(DWORD maxSize = kMaxSize)
        : maxSize_(maxSize), words_(kInitialSize / sizeof(std::uint64_t)) {}
    INTERNET_CACHE_ENTRY_INFOA* info() {
        auto* p = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(words_.data());
        p->dwStructSize = sizeof(INTERNET_CACHE_ENTRY_INFOA);
        return p;
    }
    DWORD size() const { return static_cast<DWORD>(words_.size() * sizeof(std::uint64_t)); }
    // True when the buffer grew, so the call is worth repeating: to what the call asked for, or
    // for an entry larger than the limit to the limit, where WinInet has room for its name.
    bool GrowTo(DWORD needed) {
        if (needed <= size() || size() >= maxSize_)
            return false;
        needed = needed > maxSize_ ? maxSize_ : needed;
        words_.resize(needed / sizeof(std::uint64_t) + (needed % sizeof(std::uint64_t) != 0));
        return true;
    }

    // After a call that failed with error 122 because the entry is larger than the limit: the
    // entry's name where WinInet wrote it all the same (Wine does, when the name fits), else
    // null. The rest of the record is missing.
    const char* NameOfEntryTooLarge() {
        const char* name = info()->lpszSourceUrlName;
        const char* begin = reinterpret_cast<const char*>(words_.data());
        const char* end = begin + size();
        if (!name || name < begin + sizeof(INTERNET_CACHE_ENTRY_INFOA) || name >= end)
            return nullptr;
        return std::memchr(name, '\0', static_cast<size_t>(end - name)) ? name : nullptr;
    }

    // FindFirstUrlCacheEntryA into this buffer, repeated while the buffer must grow.
    template <typename FindFirst>
    HANDLE First(FindFirst findFirst, const char* pattern, DWORD& err) {
        for (;;) {
            DWORD needed = size();
            info()->lpszSourceUrlName = nullptr; // left null by a failed call that writes nothing
            SetLastError(0);
            HANDLE h = findFirst(pattern, info(), &needed);
            err = GetLastError();
            if (h || err != ERROR_INSUFFICIENT_BUFFER || !GrowTo(needed))
                return h;
        }
    }
    // FindNextUrlCacheEntryA into this buffer, repeated while the buffer must grow.
    template <typename FindNext> BOOL Next(FindNext findNext, HANDLE search, DWORD& err) {
        for (;;) {
            DWORD needed = size();
            info()->lpszSourceUrlName = nullptr;
            SetLastError(0);
            const BOOL ok = findNext(search, info(), &needed);
            err = GetLastError();
            if (ok || err != ERROR_INSUFFICIENT_BUFFER || !GrowTo(needed))
                return ok;
        }
    }

  private:
    DWORD maxSize_;
    std::vector<std::uint64_t> words_;
};

// A WinInet cache search, closed when its phase ends, however it ends. The closing call is
// given: tests put their own in place of WinInet's.
class CacheSearch {
  public:
    using Close = BOOL(WINAPI*)(HANDLE);
    explicit CacheSearch(Close close, HANDLE search = nullptr) : close_(close), h_(search) {}
    ~CacheSearch() { reset(); }
    CacheSearch(const CacheSearch&) = delete;
    CacheSearch& operator=(const CacheSearch&) = delete;
    HANDLE get() const { return h_; }
    void reset(HANDLE search = nullptr) {
        if (h_ && close_)
            close_(h_);
        h_ = search;
    }

  private:
    Close close_;
    HANDLE h_;
};

// A record of the browser's history: WinInet keeps those as entries named "Visited: ...".
// The cache task leaves them to the history task, and the history store reads exactly these.
constexpr char kHistoryEntryPrefix[] = "Visited:";
inline bool IsHistoryEntryName(const char* name) {
    constexpr size_t n = sizeof kHistoryEntryPrefix - 1;
    return name && strnlen(name, n) == n && std::memcmp(name, kHistoryEntryPrefix, n) == 0;
}

} // namespace pb
