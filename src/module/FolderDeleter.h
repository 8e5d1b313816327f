#pragma once
// The folder purge's deletions: the files it listed, each deleted only once the log holds its
// line and only if it is still that very entry of the folder.
#include "platform/FileLocation.h"
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pb {

// How many logged files may wait for their deletion at any pumping point: about a frame's
// worth, so the log never shows files as removed long before they are.
constexpr size_t kPurgeLead = 256;

struct FolderEntry {
    std::wstring name;
    std::uint64_t id;     // the file system's id of the file
    std::int64_t written; // when its data last changed, as the listing found it
};

// The held folder's files, hidden and system files and folders left out, asked of its own
// handle: whatever has been put at its path since it was resolved is not listed. Nothing where
// the listing does not reach its end.
std::optional<std::vector<FolderEntry>> ListFolderEntries(const HeldFolder& folder);

struct PurgeTally {
    size_t removed = 0, kept = 0; // a file gone before its turn is neither
};

// Calls log(i) for each entry in order, on this thread, releases the entry to be deleted in
// the background once its call has returned, then calls logged(i). Returns when all are tried.
PurgeTally DeleteAsLogged(const HeldFolder& folder, const std::vector<FolderEntry>& entries,
                          const std::function<void(size_t)>& log,
                          const std::function<void(size_t)>& logged);

} // namespace pb
