#include "platform/FileLocation.h"
#include <winternl.h>
#include <cstdint>
#include <utility>
#include <vector>

namespace pb {

namespace {

// The final path of an open file or folder without a trailing backslash; empty where the
// system cannot say.
std::wstring FinalPathOf(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n >= path.size()) {
        path.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (n == 0 || n >= path.size())
        return {};
    path.resize(n);
    if (path.back() == L'\\')
        path.pop_back();
    return path;
}

// The path of an open file on its volume, which Wine answers at any length.
std::wstring PathOnVolume(HANDLE h) {
    std::vector<std::uint32_t> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / 4);
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    if (!GetFileInformationByHandleEx(h, FileNameInfo, info, bytes))
        return {};
    std::wstring path(info->FileName, info->FileNameLength / sizeof(wchar_t));
    if (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// The file system's id of an open file, as a folder's listing gives it. Asked of the file
// itself: the Win32 calls that give it also ask Wine's mount manager for the volume's serial
// number, which costs ten times a deletion.
std::optional<std::uint64_t> FileIdOf(HANDLE h) {
    constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    IO_STATUS_BLOCK io{};
    LARGE_INTEGER id{};
    if (NtQueryInformationFile(h, &io, &id, sizeof id, kFileInternalInformation) < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(id.QuadPart);
}

bool SameNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb) {
    return CompareStringOrdinal(a, static_cast<int>(na), b, static_cast<int>(nb), TRUE) ==
           CSTR_EQUAL;
}

// Whether `path` names `name` directly in `folder`, exactly: Wine's files live on a
// case-sensitive file system. Wine gives final paths without a name's trailing dots and
// blanks, so a name may also match without them.
bool NamesEntry(const std::wstring& path, const std::wstring& folder, const std::wstring& name) {
    const size_t start = folder.size() + 1;
    if (path.size() <= start || path.compare(0, folder.size(), folder) != 0 ||
        path[folder.size()] != L'\\')
        return false;
    const std::wstring_view leaf(path.c_str() + start, path.size() - start);
    const size_t kept = name.find_last_not_of(L". ");
    return leaf == name ||
           (kept != std::wstring::npos && leaf == std::wstring_view(name.c_str(), kept + 1));
}

} // namespace

std::wstring LongPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    if (path.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() >= 2 && path[1] == L':')
        return L"\\\\?\\" + path;
    return path;
}

std::optional<Location> LocationOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    Location where{FinalPathOf(h), PathOnVolume(h), 0};
    if (where.onVolume.empty() || !GetFileInformationByHandle(h, &info))
        return std::nullopt;
    where.volume = info.dwVolumeSerialNumber;
    return where;
}

std::optional<Location> LocationOf(const std::wstring& path) {
    const UniqueFile h(CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h ? LocationOf(h.get()) : std::nullopt;
}

bool IsVolumeRoot(const Location& where) {
    if (where.onVolume == L"\\")
        return true;
    // A share's root, \\?\UNC\server\share, is a root as much as C:\ is.
    constexpr std::wstring_view unc = L"\\\\?\\UNC\\";
    if (where.final.compare(0, unc.size(), unc) != 0)
        return false;
    const std::wstring_view rest = std::wstring_view(where.final).substr(unc.size());
    const size_t server = rest.find(L'\\');
    return server == std::wstring_view::npos ||
           rest.find(L'\\', server + 1) == std::wstring_view::npos;
}

bool IsWithin(const Location& inner, const Location& outer) {
    if (inner.volume != outer.volume)
        return false;
    const std::wstring &in = inner.onVolume, &out = outer.onVolume;
    if (out == L"\\")
        return true;
    if (in.size() < out.size() || !SameNoCase(in.c_str(), out.size(), out.c_str(), out.size()))
        return false;
    return in.size() == out.size() || in[out.size()] == L'\\';
}

HeldFolder::HeldFolder(UniqueFile handle, Location where, std::wstring openedAs)
    : handle_(std::move(handle)), where_(std::move(where)), openedAs_(std::move(openedAs)) {}

std::optional<HeldFolder> HeldFolder::Open(const std::wstring& path) {
    if (path.empty() || path == L"?")
        return std::nullopt; // no folder: not the current drive's root
    // Dots and doubled backslashes resolved; the trailing backslash opens a drive's root
    // folder, not the drive itself.
    std::wstring full(32768, L'\0');
    const DWORD n = GetFullPathNameW((path + L"\\").c_str(), static_cast<DWORD>(full.size()),
                                     full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return std::nullopt;
    full.resize(n);
    full = LongPath(full);
    UniqueFile h(CreateFileW(full.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return std::nullopt;
    std::optional<Location> resolved = LocationOf(h.get());
    if (!resolved)
        return std::nullopt;
    if (full.back() == L'\\')
        full.pop_back();
    return HeldFolder(std::move(h), std::move(*resolved), std::move(full));
}

std::wstring HeldFolder::EntryPath(const std::wstring& name) const {
    // By the final path where there is one: under Wine each part of a path spelt in another
    // case than the file system's costs a search of its parent folder.
    return (where_.final.empty() ? openedAs_ : where_.final) + L"\\" + name;
}

bool HeldFolder::IsEntry(HANDLE file, const std::wstring& name, std::uint64_t listedId) const {
    // The listing names a link made on the Unix side by its target's id, so the id alone does
    // not tell a link from the entry; the path alone does not tell the held folder from one
    // put at its path since.
    if (FileIdOf(file) != listedId)
        return false;
    if (!where_.final.empty()) {
        const std::wstring final = FinalPathOf(file);
        if (!final.empty())
            return NamesEntry(final, where_.final, name);
    }
    // No final path (a long one under Wine): the same volume, and the path on it.
    const std::optional<Location> at = LocationOf(file);
    return at && at->volume == where_.volume && NamesEntry(at->onVolume, where_.onVolume, name);
}

} // namespace pb
