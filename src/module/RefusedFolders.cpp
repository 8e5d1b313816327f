#include "module/RefusedFolders.h"
#include "module/modMain.h"
#include <shlobj.h>
#include <knownfolders.h>
#include <algorithm>
#include <vector>

namespace pb {

namespace {

struct Protected {
    Location where;
    bool content; // the user's own files: nothing inside it is the system's to remove
};

std::wstring Environment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), 32768);
    value.resize(n < value.size() ? n : 0);
    return value;
}

// Wine tells every process the user's Unix home, "\??\Z:\home\user"; Windows has none.
std::wstring WineHome() {
    std::wstring home = Environment(L"WINEHOMEDIR");
    if (home.rfind(L"\\??\\", 0) == 0)
        home.erase(0, 4);
    return home;
}

void Add(std::vector<Protected>& out, const std::wstring& path, bool content) {
    if (std::optional<Location> where = LocationOf(path))
        out.push_back({std::move(*where), content});
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
            Add(folders, path, content);
    };
    for (const KNOWNFOLDERID* id : kSystem)
        addKnown(id, false);
    for (const KNOWNFOLDERID* id : kContent)
        addKnown(id, true);
    // A 32-bit program on 64-bit Windows is told the 32-bit folders; the 64-bit ones are
    // these (each missing elsewhere).
    for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432"})
        if (const std::wstring path = Environment(name); !path.empty())
            Add(folders, path, false);
    Add(folders, GetWindowsDir() + L"\\Sysnative", false);
    // Whether or not the profile's folders lead into it: everything in it is the user's
    // (~/projects, ~/.config, a prefix's own registry in ~/.wine). Named through the Windows
    // folder's drive, the prefix's own folders are on another drive, and stay accepted.
    if (const std::wstring home = WineHome(); !home.empty())
        Add(folders, home, true);
    return folders;
}

// Under Wine a drive letter may lead anywhere on the Unix side, into the user's documents
// too, and files there are named by that drive: only the Windows folder's drive and the one
// Wine names the home on are known to be what they seem.
bool OnUnknownWineDrive(const Location& folder) {
    const std::wstring home = WineHome();
    if (home.empty())
        return false;
    const std::optional<Location> windows = LocationOf(GetWindowsDir()), unix = LocationOf(home);
    return !(windows && windows->volume == folder.volume) &&
           !(unix && unix->volume == folder.volume);
}

} // namespace

bool IsRefusedFolder(const Location& folder) {
    if (IsVolumeRoot(folder) || OnUnknownWineDrive(folder))
        return true;
    const std::vector<Protected> folders = ProtectedFolders();
    return std::any_of(folders.begin(), folders.end(), [&](const Protected& p) {
        return IsWithin(p.where, folder) || (p.content && IsWithin(folder, p.where));
    });
}

} // namespace pb
