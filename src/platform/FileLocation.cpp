#include "platform/FileLocation.h"
#include "platform/SystemString.h"
#include "platform/Text.h"
#include "platform/Wine.h"
#include <winternl.h>
#include <cstdint>
#include <utility>
#include <vector>

namespace pb {

namespace {

constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto kFileBasicInformation = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
constexpr NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056);

// A counted string over `text`, which must outlive it.
UNICODE_STRING Counted(const std::wstring& text) {
    UNICODE_STRING s;
    s.Buffer = const_cast<wchar_t*>(text.c_str());
    s.Length = s.MaximumLength = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    return s;
}

// Opens `name` ("" for the folder itself) relative to an open folder's handle.
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG options,
                      HANDLE& h) {
    UNICODE_STRING counted = Counted(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, 0, folder, nullptr);
    IO_STATUS_BLOCK io{};
    return NtCreateFile(&h, access | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                        options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

// The final path of an open file or folder without a trailing backslash; empty where the
// system cannot say.
std::wstring FinalPathOf(HANDLE h) {
    std::wstring path = SystemString(
        [h](wchar_t* buffer, DWORD size) { return GetFinalPathNameByHandleW(h, buffer, size, 0); });
    if (!path.empty() && path.back() == L'\\')
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

// The system's own name of an open file ("\??\C:\dir\name" under Wine, "\Device\...\name" on
// Windows), at any length; one call, where a final path takes several.
std::wstring ObjectNameOf(HANDLE h) {
    std::vector<std::uint64_t> buffer(1024 / 8);
    ULONG got = 0;
    while (NtQueryObject(h, kObjectNameInformation, buffer.data(),
                         static_cast<ULONG>(buffer.size() * 8), &got) < 0) {
        if (got <= buffer.size() * 8) // failed, not too small
            return {};
        buffer.resize(got / 8 + 1);
    }
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
}

// Whether the last part of a file's name is the listed `name`, exactly: Wine's files live on a
// case-sensitive file system. Wine drops trailing dots and blanks from the last part of the
// names it gives, so a name may also match without them.
bool IsLeaf(std::wstring_view leaf, const std::wstring& name) {
    const size_t kept = name.find_last_not_of(L". ");
    return leaf == name ||
           (kept != std::wstring::npos && leaf == std::wstring_view(name.c_str(), kept + 1));
}

// Opens a folder by its NT name, for its attributes only; null where it cannot.
UniqueKernelHandle OpenFolderByNtName(const std::wstring& ntName) {
    UNICODE_STRING counted = Counted(ntName);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, 0, nullptr, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    if (NtOpenFile(&h, FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT) < 0)
        return {};
    return UniqueKernelHandle(h);
}

std::optional<UnixFolder> UnixFolderOf(HANDLE h) {
    const std::optional<std::uint64_t> id = FileIdOf(h);
    std::wstring name = ObjectNameOf(h);
    if (!id || name.empty())
        return std::nullopt;
    return UnixFolder{std::move(name), *id};
}

// The Unix path Wine gives a Windows one: through the prefix's drive links, unresolved.
std::optional<std::wstring> UnixPathOf(const std::wstring& path) {
    using Function = char*(CDECL*)(const wchar_t*);
    static const auto unixName =
        ProcAddress<Function>(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    char* const name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return std::nullopt;
    std::wstring wide = Widen(name, CP_UTF8);
    HeapFree(GetProcessHeap(), 0, name);
    // A backslash in a Unix name would read as a separator once the name is Wine's again.
    if (wide.empty() || wide[0] != L'/' || wide.find(L'\\') != std::wstring::npos)
        return std::nullopt;
    return wide;
}

constexpr int kDeepestChain = 4096; // no Unix path goes deeper

} // namespace

std::optional<UnixChain> UnixChainOf(const std::wstring& path) {
    const std::optional<std::wstring> unix = UnderWine() ? UnixPathOf(path) : std::nullopt;
    if (!unix)
        return std::nullopt;
    // Wine's Unix root, with the path's own slashes: Wine refuses ".." as a name of its own,
    // but leaves "/.." inside one to the Unix side, which goes up from wherever each link led.
    const std::wstring base = L"\\??\\unix\\" + unix->substr(1);
    UnixChain chain;
    std::wstring up;
    for (int level = 0; level < kDeepestChain; ++level, up += L"/..") {
        const UniqueKernelHandle h = OpenFolderByNtName(base + up);
        std::optional<UnixFolder> folder = h ? UnixFolderOf(h.get()) : std::nullopt;
        if (!folder)
            return std::nullopt;
        if (!chain.empty() && folder->name == chain.back().name && folder->id == chain.back().id) {
            // The root, its own parent. The path is asked once more: a link on the way that
            // changed meanwhile would have sent the walk up from somewhere else.
            const UniqueKernelHandle again = OpenFolderByNtName(base);
            const std::optional<UnixFolder> first =
                again ? UnixFolderOf(again.get()) : std::nullopt;
            if (!first || first->name != chain.front().name || first->id != chain.front().id)
                return std::nullopt;
            return chain;
        }
        chain.push_back(std::move(*folder));
    }
    return std::nullopt;
}

std::optional<std::uint64_t> FileIdOf(HANDLE h) {
    // Asked of the file itself: the Win32 calls that give it also ask Wine's mount manager for
    // the volume's serial number, which costs ten times a deletion.
    IO_STATUS_BLOCK io{};
    LARGE_INTEGER id{};
    if (NtQueryInformationFile(h, &io, &id, sizeof id, kFileInternalInformation) < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(id.QuadPart);
}

std::optional<FileTimes> TimesOf(HANDLE h) {
    FILE_BASIC_INFO info;
    IO_STATUS_BLOCK io{};
    if (NtQueryInformationFile(h, &io, &info, sizeof info, kFileBasicInformation) < 0)
        return std::nullopt;
    return FileTimes{info.LastWriteTime.QuadPart, info.ChangeTime.QuadPart};
}

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
    if (!StartsWithIgnoringCase(in, out))
        return false;
    return in.size() == out.size() || in[out.size()] == L'\\';
}

HeldFolder::HeldFolder(UniqueFile handle, std::wstring path, Location where, std::uint64_t id)
    : handle_(std::move(handle)), path_(std::move(path)), where_(std::move(where)), id_(id) {}

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
    full = LongPath(full.substr(0, n));
    UniqueFile h(CreateFileW(full.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return std::nullopt;
    std::optional<Location> resolved = LocationOf(h.get());
    const std::optional<std::uint64_t> id = FileIdOf(h.get());
    if (!resolved || !id)
        return std::nullopt;
    return HeldFolder(std::move(h), std::move(full), std::move(*resolved), *id);
}

std::optional<HeldFolder> HeldFolder::OpenAgain() const {
    HANDLE h = nullptr;
    if (OpenRelative(handle_.get(), L"", FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_DIRECTORY_FILE, h) < 0)
        return std::nullopt;
    return HeldFolder(UniqueFile(h), path_, where_, id_);
}

std::optional<UnixChain> HeldFolder::UnixChainUp() const {
    // Asked by the path, and then checked to start at the folder held: the same name and id.
    std::optional<UnixChain> chain = UnixChainOf(path_);
    const std::optional<UnixFolder> self = UnixFolderOf(handle_.get());
    if (!chain || !self || chain->front().name != self->name || chain->front().id != self->id)
        return std::nullopt;
    return chain;
}

EntryOpen HeldFolder::OpenEntry(const std::wstring& name, UniqueKernelHandle& file) const {
    HANDLE h = nullptr;
    // No backup semantics: a folder put at the name since the listing does not open.
    const NTSTATUS status = OpenRelative(handle_.get(), name, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, h);
    if (status >= 0) {
        file.reset(h);
        return EntryOpen::Opened;
    }
    switch (status) {
    case kObjectNameNotFound:
    case kObjectPathNotFound:
    case kDeletePending:
        return EntryOpen::Missing;
    case kSharingViolation:
        return EntryOpen::Busy;
    default:
        return EntryOpen::Failed;
    }
}

bool HeldFolder::Holds(HANDLE file, const std::wstring& name, std::uint64_t listedId) const {
    // The listing names a link made on the Unix side by its target's id, so the id alone does
    // not tell a link from the entry; the name alone does not tell the listed file from one
    // put at its name since.
    if (FileIdOf(file) != listedId)
        return false;
    const std::wstring full = ObjectNameOf(file);
    const size_t slash = full.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0 ||
        !IsLeaf(std::wstring_view(full).substr(slash + 1), name))
        return false;
    // Every file of this folder names it alike, so it is opened to be sure only once. Wine
    // names a folder without the trailing blanks of its last part, so its own name would not
    // tell "work " from its sibling "work"; its files' names keep them.
    std::wstring parent = full.substr(0, slash);
    {
        const SrwHold hold(parentLock_, SrwHold::Shared);
        if (parent == parent_)
            return true;
    }
    if (!IsThisFolder(parent))
        return false;
    const SrwHold hold(parentLock_, SrwHold::Exclusive);
    parent_ = std::move(parent);
    return true;
}

bool HeldFolder::IsThisFolder(const std::wstring& ntPath) const {
    const UniqueKernelHandle folder = OpenFolderByNtName(ntPath);
    BY_HANDLE_FILE_INFORMATION info;
    return folder && FileIdOf(folder.get()) == id_ &&
           GetFileInformationByHandle(folder.get(), &info) &&
           info.dwVolumeSerialNumber == where_.volume;
}

} // namespace pb
