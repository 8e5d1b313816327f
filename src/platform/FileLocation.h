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

// A folder resolved once and held open without delete sharing, so that nothing renames or
// replaces it through the system while it is worked on; its files are reached by its final
// path and checked against it.
class HeldFolder {
  public:
    // Nothing when there is no such folder ("?" and empty text included: never a drive root).
    static std::optional<HeldFolder> Open(const std::wstring& path);

    HANDLE handle() const { return handle_.get(); }
    const Location& where() const { return where_; }
    // The path to open an entry by.
    std::wstring EntryPath(const std::wstring& name) const;
    // Whether the open file is the entry `name` that this folder's own listing gave with the
    // file id `listedId`: not a link's target elsewhere, nor a case twin in a sibling folder,
    // nor a file of another folder put in this one's place or a parent's since.
    bool IsEntry(HANDLE file, const std::wstring& name, std::uint64_t listedId) const;

  private:
    HeldFolder(UniqueFile handle, Location where, std::wstring openedAs);
    UniqueFile handle_;
    Location where_;
    std::wstring openedAs_; // the long form of the path as given
};

} // namespace pb
