#pragma once
#include <windows.h>
#include <wininet.h>

namespace pb {

// The WinInet cache calls, as a table that a test can script: the Temporary Internet Files
// task makes every such call through one. The group functions may be missing (null).
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

} // namespace pb
