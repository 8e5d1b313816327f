#include "module/StoreResidue.h"
#include "module/WineUrlIndex.h"
#include "platform/FileLocation.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "platform/Wine.h"
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <optional>

// The kernel's deletion of an open key (ZwDeleteKey), which no name can redirect.
extern "C" LONG NTAPI NtDeleteKey(HANDLE key);

namespace pb {

namespace {

// WinInet holds the lock for a single change, or for as long as it takes to delete a whole
// store's folder.
constexpr DWORD kLockWaitMs = 3000;

struct Container {
    std::wstring lockFolder; // names the lock: the folder the system gives, with its '\'
    std::wstring folder;     // holds index.dat, with its '\'
};

std::optional<Container> ContainerOf(UrlStore store) {
    const int csidl = store == UrlStore::Content   ? CSIDL_INTERNET_CACHE
                      : store == UrlStore::Cookies ? CSIDL_COOKIES
                                                   : CSIDL_HISTORY;
    const wchar_t* sub = store == UrlStore::Content   ? L"Content.IE5\\"
                         : store == UrlStore::History ? L"History.IE5\\"
                                                      : L"";
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || !*path)
        return std::nullopt;
    std::wstring base = path;
    if (base.back() != L'\\')
        base += L'\\';
    return Container{base, base + sub};
}

// The name WinInet gives a store's lock: the folder in lower case, each '\' as '!'.
std::wstring LockName(const std::wstring& folder) {
    std::wstring name = ToLower(folder);
    std::replace(name.begin(), name.end(), L'\\', L'!');
    return name;
}

bool BlockIsZero(const std::vector<BYTE>& data, DWORD block) {
    const BYTE* b = data.data() + kIndexEntriesStart + size_t{block} * kIndexBlockSize;
    return std::all_of(b, b + kIndexBlockSize, [](BYTE c) { return c == 0; });
}

bool WriteZeros(HANDLE file, size_t offset, size_t length) {
    static const std::vector<BYTE> zeros(64 * 1024);
    while (length) {
        const DWORD n = static_cast<DWORD>(std::min(length, zeros.size()));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(offset) >> 32);
        DWORD written = 0;
        if (!WriteFile(file, zeros.data(), n, &written, &at) || written != n)
            return false;
        offset += n;
        length -= n;
    }
    return true;
}

bool ReadAll(HANDLE file, std::vector<BYTE>& data) {
    size_t done = 0;
    while (done < data.size()) {
        const DWORD n = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file, data.data() + done, n, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

// Whether the open file is the index at `path` itself: not a folder or a Windows link, not a
// Unix link's target elsewhere (Wine names the target), not a second name of a file that lies
// elsewhere too. Letter case counts: a twin folder differing in case is another store's.
bool IsOwnFile(HANDLE file, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks != 1)
        return false;
    const std::optional<Location> where = LocationOf(file);
    return where && !where->final.empty() && where->final == LongPath(path);
}

enum class Outcome { Scrubbed, Busy, NotOwnFile, OtherFormat, Failed };
struct Scrub {
    Outcome outcome = Outcome::Scrubbed;
    size_t remaining = 0; // records still holding an address
};

// Under the lock, only blocks that WinInet counts as free and that nothing it still lists leads
// to change: a program that has the index open meanwhile reads nothing it uses altered.
Scrub ScrubIndex(const Container& store) {
    const UniqueKernelHandle lock(CreateMutexW(nullptr, FALSE, LockName(store.lockFolder).c_str()));
    if (!lock)
        return {Outcome::Failed};
    const DWORD waited = WaitForSingleObject(lock.get(), kLockWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        return {Outcome::Busy};
    struct Release {
        HANDLE h;
        ~Release() { ReleaseMutex(h); }
    } const release{lock.get()};

    const std::wstring path = store.folder + L"index.dat";
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD err = GetLastError();
        return {err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? Outcome::Scrubbed
                                                                           : Outcome::Failed};
    }
    if (!IsOwnFile(file.get(), path))
        return {Outcome::NotOwnFile};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return {Outcome::Failed};
    if (size.QuadPart > kIndexEntriesStart + LONGLONG{kIndexMaxBlocks} * kIndexBlockSize)
        return {Outcome::OtherFormat};
    std::vector<BYTE> data(static_cast<size_t>(size.QuadPart));
    if (!ReadAll(file.get(), data))
        return {Outcome::Failed};
    const std::optional<std::vector<bool>> kept = KeptIndexBlocks(data);
    if (!kept)
        return {Outcome::OtherFormat};

    const DWORD capacity = static_cast<DWORD>(kept->size());
    for (DWORD block = 0; block < capacity;) {
        if ((*kept)[block] || BlockIsZero(data, block)) {
            ++block;
            continue;
        }
        DWORD end = block + 1;
        while (end < capacity && !(*kept)[end])
            ++end;
        if (!WriteZeros(file.get(), kIndexEntriesStart + size_t{block} * kIndexBlockSize,
                        size_t{end - block} * kIndexBlockSize))
            return {Outcome::Failed};
        block = end;
    }
    return {Outcome::Scrubbed, RecordsHoldingAddresses(data, *kept)};
}

const wchar_t* Why(Outcome outcome) {
    switch (outcome) {
    case Outcome::Busy:
        return L"its index is busy";
    case Outcome::NotOwnFile:
        return L"its index is not the store's own file";
    case Outcome::OtherFormat:
        return L"its index is not in Wine's format";
    default:
        return L"its index could not be changed";
    }
}

// Deletes the key with its values and keys, but no key a registry link leads to: the link
// stays, and so does every key above it, emptied of its values. True when it is gone.
bool DeleteKeyTree(HKEY parent, const std::wstring& name) {
    HKEY raw = nullptr;
    LSTATUS rc = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK,
                               KEY_READ | KEY_SET_VALUE | DELETE, &raw);
    if (rc == ERROR_FILE_NOT_FOUND)
        return true;
    if (rc != ERROR_SUCCESS)
        return false;
    const UniqueRegKey key(raw);
    DWORD type = 0;
    if (RegQueryValueExW(raw, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
            ERROR_SUCCESS &&
        type == REG_LINK)
        return false;
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD length = ARRAYSIZE(sub);
        if (RegEnumKeyExW(raw, i, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(sub, length);
    }
    bool all = true;
    for (const std::wstring& sub : subkeys)
        all = DeleteKeyTree(raw, sub) && all;
    if (!all) {
        // The names in this key's own values still go.
        for (;;) {
            wchar_t value[16384];
            DWORD length = ARRAYSIZE(value);
            if (RegEnumValueW(raw, 0, value, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS ||
                RegDeleteValueW(raw, value) != ERROR_SUCCESS)
                break;
        }
        return false;
    }
    // Through the handle checked above: by its name again, a key that another program has
    // swapped for a link meanwhile would lead elsewhere.
    return NtDeleteKey(raw) >= 0;
}

} // namespace

std::vector<std::wstring> ScrubDeletedRecords(std::initializer_list<UrlStore> stores,
                                              const std::wstring& what) {
    if (!UnderWine())
        return {};
    size_t remaining = 0;
    const wchar_t* why = nullptr;
    for (const UrlStore store : stores) {
        const std::optional<Container> container = ContainerOf(store);
        if (!container)
            continue;
        const Scrub scrub = ScrubIndex(*container);
        remaining += scrub.remaining;
        if (scrub.outcome != Outcome::Scrubbed && !why)
            why = Why(scrub.outcome);
    }
    std::vector<std::wstring> lines;
    if (remaining)
        lines.push_back(L"  " + std::to_wstring(remaining) + L" " + what +
                        L" entries are in use and remain");
    if (why)
        lines.push_back(L"  Deleted " + what + L" addresses remain readable: " + why);
    return lines;
}

std::vector<std::wstring> ClearRecentDocsList() {
    if (!UnderWine())
        return {};
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                      0, KEY_READ, &raw) != ERROR_SUCCESS)
        return {}; // no shell settings, no list
    const UniqueRegKey explorer(raw);
    if (DeleteKeyTree(explorer.get(), L"RecentDocs"))
        return {};
    return {L"     The shell's list of recent documents could not be cleared in full"};
}

} // namespace pb
