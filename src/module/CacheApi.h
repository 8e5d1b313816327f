#pragma once
#include <windows.h>
#include <wininet.h>

namespace pb {

// Every WinInet cache call the Temporary Internet Files task makes goes through
// this table, so tests can script failures. The group functions may be missing
// (null).
struct CacheApi {
    HANDLE(WINAPI* FindFirstUrlCacheGroup)
    (DWORD, DWORD, LPVOID, DWORD, GROUPID*, LPVOID);
    BOOL(WINAPI* FindNextUrlCacheGroup)(HANDLE, GROUPID*, LPVOID);
    BOOL(WINAPI* DeleteUrlCacheGroup)(GROUPID, DWORD, LPVOID);
    HANDLE(WINAPI* FindFirstUrlCacheEntryA)
    (LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
    BOOL(WINAPI* FindNextUrlCacheEntryA)
    (HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
    BOOL(WINAPI* DeleteUrlCacheEntryA)(LPCSTR);
    BOOL(WINAPI* FindCloseUrlCache)(HANDLE);
};

// The system's WinInet, with the group functions looked up at run time.
const CacheApi& SystemCacheApi();
// The table in use; tests swap in their own and put the system's back.
const CacheApi& CurrentCacheApi();
void SetCacheApi(const CacheApi* api);

} // namespace pb
