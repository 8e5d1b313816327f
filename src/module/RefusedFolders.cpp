#include "module/RefusedFolders.h"
#include "module/Paths.h"
#include "platform/SystemString.h"
#include "platform/Text.h"
#include "platform/Wine.h"
#include <shlobj.h>
#include <knownfolders.h>
#include <algorithm>
#include <vector>

namespace pb {

namespace {

struct Protected {
    std::wstring path;
    bool content; // the user's own files: nothing inside it is the system's to remove
};

std::wstring Environment(const wchar_t* name) {
    return SystemString([name](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(name, buffer, size);
    });
}

// Wine tells every process the user's Unix home, "\??\Z:\home\user"; Windows has none.
std::wstring WineHome() {
    std::wstring home = Environment(L"WINEHOMEDIR");
    if (home.rfind(L"\\??\\", 0) == 0)
        home.replace(0, 4, L"\\\\?\\");
    return home;
}

// Asked afresh for every purge: a folder may be moved or redirected while the program runs.
std::vector<Protected> ProtectedFolders() {
    static const KNOWNFOLDERID* const kSystem[] = {&FOLDERID_Windows,
                                                   &FOLDERID_System,
                                                   &FOLDERID_SystemX86,
                                                   &FOLDERID_ProgramFiles,
                                                   &FOLDERID_ProgramFilesX86,
                                                   &FOLDERID_ProgramFilesX64,
                                                   &FOLDERID_ProgramFilesCommon,
                                                   &FOLDERID_ProgramFilesCommonX86,
                                                   &FOLDERID_ProgramFilesCommonX64,
                                                   &FOLDERID_ProgramData,
                                                   &FOLDERID_Profile,
                                                   &FOLDERID_Public};
    static const KNOWNFOLDERID* const kContent[] = {
        &FOLDERID_Desktop,         &FOLDERID_PublicDesktop, &FOLDERID_Documents,
        &FOLDERID_PublicDocuments, &FOLDERID_Downloads,     &FOLDERID_PublicDownloads,
        &FOLDERID_Music,           &FOLDERID_PublicMusic,   &FOLDERID_Pictures,
        &FOLDERID_PublicPictures,  &FOLDERID_Videos,        &FOLDERID_PublicVideos,
        &FOLDERID_Favorites};
    std::vector<Protected> folders;
    auto addKnown = [&](const KNOWNFOLDERID* id, bool content) {
        PWSTR path = nullptr;
        const HRESULT hr = SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path);
        const UniqueTaskMem owner(path);
        if (SUCCEEDED(hr) && path)
            folders.push_back({LongPath(path), content});
    };
    for (const KNOWNFOLDERID* id : kSystem)
        addKnown(id, false);
    for (const KNOWNFOLDERID* id : kContent)
        addKnown(id, true);
    // A 32-bit program on 64-bit Windows is told the 32-bit folders; the 64-bit ones are
    // these (each missing elsewhere).
    for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432"})
        if (const std::wstring path = Environment(name); !path.empty())
            folders.push_back({LongPath(path), false});
    folders.push_back({LongPath(GetWindowsDir() + L"\\Sysnative"), false});
    return folders;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// On Windows the system's names are exact and each volume's serial its own.
bool RefusedOnWindows(const Location& folder) {
    const std::vector<Protected> folders = ProtectedFolders();
    return std::any_of(folders.begin(), folders.end(), [&](const Protected& p) {
        const std::optional<Location> where = LocationOf(p.path);
        return where && (IsWithin(*where, folder) || (p.content && IsWithin(folder, *where)));
    });
}

// Whether two folders of chains may be one: the same name, letter case aside (Wine drops
// trailing blanks and dots, so a sibling may share it), or the same id (a folder mounted at a
// second place too; another file system's folder may share it). Either way it is refused.
bool MayBeSame(const UnixFolder& a, const UnixFolder& b) {
    return a.id == b.id ||
           (a.name.size() == b.name.size() && StartsWithIgnoringCase(a.name, b.name));
}

// "\??\C:\dir" -> C; 0 where Wine names no drive ("\??\unix\...").
wchar_t DriveOf(const UnixFolder& folder) {
    const std::wstring& name = folder.name;
    return name.size() >= 6 && name.compare(0, 4, L"\\??\\") == 0 && name[5] == L':' ? name[4]
                                                                                     : L'\0';
}

// Whether the chain meets `outer` before it leaves the Windows folder's drive: below that
// drive's root (a prefix's drive_c, in the home as ~/.wine's is) Windows' own rules hold.
bool IsInside(const UnixChain& chain, const UnixFolder& outer, const UnixFolder& windowsDrive) {
    for (const UnixFolder& folder : chain) {
        if (MayBeSame(folder, outer))
            return true;
        if (folder.name == windowsDrive.name && folder.id == windowsDrive.id)
            return false;
    }
    return false;
}

// Under Wine a drive letter may lead anywhere on the Unix side, and folder names lose their
// trailing blanks and dots: each folder is placed by the Unix side's own way up from it.
Refusal RefusedUnderWine(const HeldFolder& folder) {
    const std::wstring home = WineHome();
    if (home.empty())
        return {true, L"Purgebox cannot tell where the Unix home is (WINEHOMEDIR is not set)"};
    const std::optional<UnixChain> chain = folder.UnixChainUp();
    if (!chain)
        return {true, L"Purgebox cannot tell where this folder lies on the Unix side"};
    const std::optional<UnixChain> homeChain = UnixChainOf(home);
    const std::wstring windowsDir = GetWindowsDir();
    const std::optional<UnixChain> windowsDrive =
        UnixChainOf(LongPath(windowsDir.substr(0, 2) + L"\\"));
    if (!homeChain || !windowsDrive)
        return {true, L"Purgebox cannot tell where the Unix home or the Windows drive lies"};
    // Only the Windows folder's drive and the one Wine names the home by are known to be what
    // they seem; the serial numbers of drives tell nothing here (Wine may answer 0 for all).
    const wchar_t drive = DriveOf(chain->front());
    if (drive == 0 ||
        (drive != DriveOf(windowsDrive->front()) && drive != DriveOf(homeChain->front())))
        return {true, {}};
    std::vector<Protected> folders = ProtectedFolders();
    // Whether or not the profile's folders lead into it: everything in it is the user's
    // (~/projects, ~/.config, a prefix's own registry in ~/.wine).
    folders.push_back({home, true});
    for (const Protected& p : folders) {
        if (!Exists(p.path))
            continue;
        const std::optional<UnixChain> outer = UnixChainOf(p.path);
        if (!outer)
            return {true, L"Purgebox cannot tell where " + p.path.substr(4) + L" lies"};
        const bool above = std::any_of(outer->begin(), outer->end(), [&](const UnixFolder& f) {
            return MayBeSame(f, chain->front());
        });
        if (above || (p.content && IsInside(*chain, outer->front(), windowsDrive->front())))
            return {true, {}};
    }
    return {};
}

} // namespace

Refusal RefusalOf(const HeldFolder& folder) {
    if (IsVolumeRoot(folder.where()))
        return {true, {}};
    if (UnderWine())
        return RefusedUnderWine(folder);
    return {RefusedOnWindows(folder.where()), {}};
}

} // namespace pb
