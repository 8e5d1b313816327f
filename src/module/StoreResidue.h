#pragma once
// What the system's own deletions leave readable on disk, and its removal where that is safe.
#include <initializer_list>
#include <string>
#include <vector>

namespace pb {

// WinInet's stores, each with an index.dat of its own.
enum class UrlStore { Content, Cookies, History };

// Under Wine, WinInet frees a deleted record without clearing it: its address, title and
// headers stay in the store's index.dat until the space is used again. This clears every free
// block of the stores' indexes that nothing WinInet still reaches lies in, under the lock WinInet
// itself takes, only in a sound index of Wine's own format that is the store's own file. On Windows
// it does nothing. Returns the log lines for traces that remain (records still in use, an index
// left as it was), naming them `what`. Runs on any thread; waits a few seconds at most for each
// store's lock.
std::vector<std::wstring> ScrubDeletedRecords(std::initializer_list<UrlStore> stores,
                                              const std::wstring& what);

// Under Wine, the shell's list of recent documents (RecentDocs, with a subkey per extension as
// Windows keeps it) goes with the Recent folder's shortcuts; a registry link in it stays, with
// what it leads to. Returns the log lines for what remains.
std::vector<std::wstring> ClearRecentDocsList();

} // namespace pb
