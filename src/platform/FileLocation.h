#pragma once
// Where files and folders really are: resolved through every link, as the system names them.
#include "platform/Handles.h"
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pb {

// The same path in the form that lifts the 260-character limit and keeps trailing dots and
// blanks in names as they are.
std::wstring LongPath(const std::wstring& path);

// Where an open file or folder is, after every link.
struct Location {
    // "\\?\C:\dir\name"; empty where the system cannot say (Wine 8 names no final path much
    // longer than MAX_PATH).
    std::wstring final;
    std::wstring onVolume; // "\dir\name", the path on its volume: "\" for the volume's root
    DWORD volume = 0;      // the volume's serial number
};
std::optional<Location> LocationOf(HANDLE h);
// Opens the path for a moment to ask; nothing when it cannot be opened.
std::optional<Location> LocationOf(const std::wstring& path);

bool IsVolumeRoot(const Location& where);
// Whether `inner` is `outer` or lies anywhere below it, letter case aside.
bool IsWithin(const Location& inner, const Location& outer);

// Under Wine, a folder as the Unix side places it: named as Wine names it ("\??\Z:\home\user",
// after every link, by the deepest drive that leads there, without trailing blanks and dots),
// with its file system's id.
struct UnixFolder {
    std::wstring name;
    std::uint64_t id = 0;
};
// The folders from one up to the Unix root, each the one `..` leads to from the one before:
// through links and mounts as the Unix side goes, whatever drive letters and names show.
using UnixChain = std::vector<UnixFolder>;

// Under Wine, the chain from the folder at `path` (a long path) up; nothing where it cannot be
// told: not under Wine, no such folder, one on the way that cannot be opened, or a link on the
// way changed meanwhile.
std::optional<UnixChain> UnixChainOf(const std::wstring& path);

// The file system's id of an open file, as a folder's listing gives it.
std::optional<std::uint64_t> FileIdOf(HANDLE h);
struct FileTimes {
    std::int64_t written; // when its data last changed
    std::int64_t changed; // when it last changed in any way, a rename or a new name included
};
std::optional<FileTimes> TimesOf(HANDLE h);

// How opening one of a held folder's entries went.
enum class EntryOpen { Opened, Missing, Busy, Failed };

// A folder resolved once and held open without delete sharing, so that nothing renames or
// replaces it through the system while it is worked on. Its entries are opened relative to
// this handle, by their own names: no path is resolved again once the folder is checked.
class HeldFolder {
  public:
    // Nothing when there is no such folder ("?" and empty text included: never a drive root).
    static std::optional<HeldFolder> Open(const std::wstring& path);

    HANDLE handle() const { return handle_.get(); }
    // The same folder through a handle of its own, opened relative to this one: through one
    // handle Wine lists a folder by the names it found at its first listing, looking each up
    // again, which for a large folder emptied since takes long.
    std::optional<HeldFolder> OpenAgain() const;
    const Location& where() const { return where_; }
    // Under Wine, the chain from this very folder up; nothing where it cannot be told.
    std::optional<UnixChain> UnixChainUp() const;

    // Opens the entry `name` for its deletion, as itself where it is a Windows link, and held
    // without delete sharing: from its check to its deletion nobody moves it through Windows.
    EntryOpen OpenEntry(const std::wstring& name, UniqueKernelHandle& file) const;
    // Whether the open file is the entry `name` that this folder's listing gave with the id
    // `listedId`, lying directly in this folder: not a file put at that name since, nor a link's
    // target elsewhere (Wine shows a link made on the Unix side as a plain file and opens its
    // target), nor one in a sibling that differs only in case or in trailing blanks.
    bool Holds(HANDLE file, const std::wstring& name, std::uint64_t listedId) const;

  private:
    HeldFolder(UniqueFile handle, std::wstring path, Location where, std::uint64_t id);
    bool IsThisFolder(const std::wstring& ntPath) const;
    UniqueFile handle_;
    std::wstring path_; // as it was opened, in the long form
    Location where_;
    std::uint64_t id_;
    // The name the system gives this folder inside its files' names, once one was checked.
    mutable std::wstring parent_;
    mutable SRWLOCK parentLock_ = SRWLOCK_INIT;
};

} // namespace pb
