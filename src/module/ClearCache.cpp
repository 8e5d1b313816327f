#include "Seams.h"
#include "platform/CacheApi.h"
#include "module/StoreResidue.h"
#include "module/Log.h"
#include "module/Tasks.h"
#include "platform/CacheEntryBuffer.h"
#include "platform/Handles.h"
#include "platform/MessageBox.h"
#include "platform/Waits.h"
#include <string>
#include <vector>

namespace pb {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(INTERNET_CACHE_ENTRY_INFOA) == 80, "the 32-bit cache entry record");
#endif

namespace {

void Report(const wchar_t* text, DWORD code) {
    RunOnWindowThread([&] { ShowMessage(text + std::to_wstring(code), L"Purgebox", MB_OK); });
}

// Phase 1. Returns false when a failure ends the whole task.
bool DeleteCacheGroups(const CacheApi& api) {
    if (!api.FindFirstUrlCacheGroup || !api.FindNextUrlCacheGroup || !api.DeleteUrlCacheGroup)
        return true;
    GROUPID group = 0;
    SetLastError(0);
    HANDLE search =
        api.FindFirstUrlCacheGroup(0, CACHEGROUP_SEARCH_ALL, nullptr, 0, &group, nullptr);
    DWORD err = GetLastError();
    if (!search) {
        if (err == 0)
            return true; // stub functions that do nothing: as good as absent
        if (err == ERROR_FILE_NOT_FOUND)
            return true; // no groups
        Report(L"An error occurred enumerating the cache groups", err);
        return false;
    }
    const CacheSearch guard(api.FindCloseUrlCache, search);
    do {
        SetLastError(0);
        if (!api.DeleteUrlCacheGroup(group, CACHEGROUP_FLAG_FLUSHURL_ONDELETE, nullptr)) {
            Report(L"Error deleting cache group ", GetLastError());
            return false;
        }
        SetLastError(0);
        const BOOL found = api.FindNextUrlCacheGroup(search, &group, nullptr);
        err = GetLastError();
        if (!found && err != ERROR_FILE_NOT_FOUND)
            Report(L"Error finding next url cache group! - ", err);
    } while (err != ERROR_FILE_NOT_FOUND);
    return true;
}

// Phase 2: every remaining entry but the history's.
void DeleteCacheEntries(const CacheApi& api) {
    CacheEntryBuffer buffer;
    DWORD err = 0;
    HANDLE search = buffer.First(api.FindFirstUrlCacheEntryA, nullptr, err);
    if (!search) {
        if (err != ERROR_NO_MORE_ITEMS)
            Report(L"ERROR: FindFirstUrlCacheEntry - ", err);
        return;
    }
    const CacheSearch guard(api.FindCloseUrlCache, search);
    do {
        const char* url = buffer.info()->lpszSourceUrlName;
        if (url && !IsHistoryEntryName(url)) {
            SetLastError(0);
            api.DeleteUrlCacheEntryA(url); // an entry in use stays; the others still go
        }
        const BOOL found = buffer.Next(api.FindNextUrlCacheEntryA, search, err);
        if (!found && err != ERROR_NO_MORE_ITEMS) {
            Report(L"Error:  Unable to find the next cache entry - ", err);
            return;
        }
    } while (err != ERROR_NO_MORE_ITEMS);
}

// The system's WinInet, with the group functions looked up at run time.
const CacheApi& SystemCacheApi() {
    static const CacheApi api = [] {
        CacheApi a{};
        // Looked up at run time: an older WinInet may not have the group functions.
        HMODULE dll = GetModuleHandleW(L"wininet.dll");
        if (dll) {
            a.FindFirstUrlCacheGroup =
                ProcAddress<decltype(a.FindFirstUrlCacheGroup)>(dll, "FindFirstUrlCacheGroup");
            a.FindNextUrlCacheGroup =
                ProcAddress<decltype(a.FindNextUrlCacheGroup)>(dll, "FindNextUrlCacheGroup");
            a.DeleteUrlCacheGroup =
                ProcAddress<decltype(a.DeleteUrlCacheGroup)>(dll, "DeleteUrlCacheGroup");
        }
        a.FindFirstUrlCacheEntryA = &::FindFirstUrlCacheEntryA;
        a.FindNextUrlCacheEntryA = &::FindNextUrlCacheEntryA;
        a.DeleteUrlCacheEntryA = &::DeleteUrlCacheEntryA;
        a.FindCloseUrlCache = &::FindCloseUrlCache;
        return a;
    }();
    return api;
}

} // namespace

void ClearCache() {
    const CacheApi& api = seams::cacheApi ? seams::cacheApi.get()() : SystemCacheApi();
    // A large cache takes seconds (under Wine about a millisecond an entry): the window keeps
    // answering and painting meanwhile, and the task stays free of pumping points.
    const bool system = &api == &SystemCacheApi();
    std::vector<std::wstring> remains;
    RunOnWorkerThread([&] {
        if (DeleteCacheGroups(api))
            DeleteCacheEntries(api);
        // What the system's deletions left in its stores (a scripted cache deleted nothing
        // there). Under Wine the cache's entries include the cookies.
        if (system)
            remains = ScrubDeletedRecords({UrlStore::Content, UrlStore::Cookies},
                                          L"Temporary Internet Files");
    });
    for (const std::wstring& line : remains)
        AddLog(line);
}

} // namespace pb
