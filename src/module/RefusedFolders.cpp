#include "module/RefusedFolders.h"
#include <shlobj.h>
#include <knownfolders.h>
#include <algorithm>
#include <vector>

namespace pb {

namespace {

struct Protected {
    Location where;
    bool content; // the user's own documents: nothing inside it is the system's to remove
};

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
    // Wine tells every process the user's Unix home, "\??\Z:\home\user": it holds the user's
    // files whether or not the profile's folders link into it.
    std::wstring home(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(L"WINEHOMEDIR", home.data(), 32768);
    if (n > 0 && n < home.size()) {
        home.resize(n);
        if (home.rfind(L"\\??\\", 0) == 0)
            home.erase(0, 4);
        Add(folders, home, false);
    }
    return folders;
}

} // namespace

bool IsRefusedFolder(const Location& folder) {
    if (IsVolumeRoot(folder))
        return true;
    const std::vector<Protected> folders = ProtectedFolders();
    return std::any_of(folders.begin(), folders.end(), [&](const Protected& p) {
        return IsWithin(p.where, folder) || (p.content && IsWithin(folder, p.where));
    });
}

bool HoldsUsersOwnFiles(const std::wstring& folder) {
    const std::optional<HeldFolder> held = HeldFolder::Open(folder);
    return held && IsRefusedFolder(held->where());
}

} // namespace pb
