#pragma once
// Where files and folders really are: resolved through every link, as the system names them.
#include "platform/Handles.h"
#include <cstdint>
#include <optional>
#include <string>

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

// The file system's id of an open file, as a folder's listing gives it.
std::optional<std::uint64_t> FileIdOf(HANDLE h);
// When the open file last changed in any way, a rename or a new name for it included.
std::optional<std::int64_t> ChangeTimeOf(HANDLE h);

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

    // Opens the entry `name` for its deletion, as itself where it is a Windows link, and held
    // without delete sharing: from its check to its deletion nobody moves it through Windows.
    EntryOpen OpenEntry(const std::wstring& name, UniqueKernelHandle& file) const;
    // Whether the open file is the entry `name` that this folder's listing gave with the id
    // `listedId`, lying directly in this folder: not a file put at that name since, nor a link's
    // target elsewhere (Wine shows a link made on the Unix side as a plain file and opens its
    // target), nor one in a sibling that differs only in case or in trailing blanks.
    bool Holds(HANDLE file, const std::wstring& name, std::uint64_t listedId) const;

  private:
    HeldFolder(UniqueFile handle, Location where, std::uint64_t id);
    bool IsThisFolder(const std::wstring& ntPath) const;
    UniqueFile handle_;
    Location where_;
    std::uint64_t id_;
    // The name the system gives this folder inside its files' names, once one was checked.
    mutable std::wstring parent_;
    mutable SRWLOCK parentLock_ = SRWLOCK_INIT;
};

} // namespace pb
