#pragma once
// Wine 8's index.dat, as its WinInet writes it: a header ending in the allocation bitmap, then
// blocks of 128 bytes holding records and the chain of hash tables that lists them. Only this
// format is read; any other is left as it is.
#include <windows.h>
#include <optional>
#include <vector>

namespace pb {

constexpr DWORD kIndexEntriesStart = 0x4000;
constexpr DWORD kIndexBlockSize = 128;
constexpr DWORD kIndexMaxBlocks = (kIndexEntriesStart - 0x250) * 8;

// For an index of Wine's format, sound by the checks Wine makes before use and with a sound
// chain of hash tables, the blocks whose bytes Wine may still read: those its bitmap marks in
// use, every hash table, and every record a live slot or the list of leaked records leads to,
// whatever the bitmap says of them. Nothing for any other file.
std::optional<std::vector<bool>> KeptIndexBlocks(const std::vector<BYTE>& data);

// How many of the kept records still hold an address: live ones, ones in use, ones kept for a
// file that could not go.
size_t RecordsHoldingAddresses(const std::vector<BYTE>& data, const std::vector<bool>& kept);

} // namespace pb
