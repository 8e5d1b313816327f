#include "Scratch.h"
#include <wininet.h>
#include <sddl.h>
#include <vector>
#include <cstdlib>
#include <cwctype>

namespace pbtest {

ScratchDir::ScratchDir(const std::wstring& name) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    path_ = std::wstring(tmp) + L"pbtest_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
}

namespace {
// Removes a scratch tree without following links out of it.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = dir + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryW(full.c_str()))
                    DeleteFileW(full.c_str());
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}
} // namespace

ScratchDir::~ScratchDir() {
    // Only ever a tree this class made: absolute, and named for the tests.
    if (path_.size() > 3 && path_[1] == L':' && path_.find(L"\\pbtest_") != std::wstring::npos) {
        RemoveTree(L"\\\\?\\" + path_);
        // What Windows cannot name or remove (a name ending in a blank, a pipe, a socket) goes
        // from the Unix side, which removes links, never what they lead to: the next test, or
        // a repeat of this one, starts afresh.
        if (Exists(path_))
            RunUnix(L"rm -rf " + UnixPath(path_));
    }
}

std::wstring ScratchDir::File(const std::wstring& name, const std::string& content) const {
    const std::wstring p = path_ + L"\\" + name;
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(h);
    }
    return p;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

size_t CountFiles(const std::wstring& dir) {
    size_t count = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        count += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return count;
}

namespace {
std::wstring GetEnv(const wchar_t* name) {
    wchar_t buf[32768];
    const DWORD n = GetEnvironmentVariableW(name, buf, 32768);
    return n ? std::wstring(buf, n) : std::wstring();
}
} // namespace

TempDirOverride::TempDirOverride(const std::wstring& dir)
    : tmp_(GetEnv(L"TMP")), temp_(GetEnv(L"TEMP")) {
    SetEnvironmentVariableW(L"TMP", dir.c_str());
    SetEnvironmentVariableW(L"TEMP", dir.c_str());
}

TempDirOverride::~TempDirOverride() {
    SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
}

namespace {
// One argument of a command line, as the runtime's parser splits it again.
std::wstring QuoteArgument(const std::wstring& s) {
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        for (; i < s.size() && s[i] == L'\\'; ++i)
            ++backslashes;
        if (i == s.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        out.append(s[i] == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        out += s[i];
    }
    return out + L"\"";
}
} // namespace

bool RunUnix(const std::wstring& script) {
    // Wine neither waits for a Linux program nor tells its exit code: the script leaves it in
    // a file of its own, which is waited for.
    // Not in the temp folder, which tests point elsewhere, and spelt as the Unix side has it.
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    static int runs = 0;
    const std::wstring done = std::wstring(windows, 3) + L"pbtest_unix_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(++runs);
    std::wstring line =
        L"Z:\\bin\\sh -c " +
        // Written aside and renamed into place, so that it is never read half written.
        QuoteArgument(L"(" + script + L"); echo $? > " + UnixPath(done + L"~") + L" && mv " +
                      UnixPath(done + L"~") + L" " + UnixPath(done));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    for (int waited = 0; waited < 60000 && !Exists(done); waited += 5)
        Sleep(5);
    char code[8] = {};
    DWORD got = 0;
    const HANDLE h = CreateFileW(done.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ReadFile(h, code, sizeof code - 1, &got, nullptr);
    CloseHandle(h);
    DeleteFileW(done.c_str());
    return code[0] == '0' && (code[1] == '\n' || code[1] == '\0');
}

std::wstring UnixPath(const std::wstring& windowsPath) {
    // Wine keeps a link per drive letter in the prefix: dosdevices/c: leads to drive_c.
    std::wstring out = L"\"$WINEPREFIX/dosdevices/";
    out += static_cast<wchar_t>(towlower(windowsPath.at(0)));
    out += L':';
    for (const wchar_t c : windowsPath.substr(2)) {
        if (c == L'"' || c == L'$' || c == L'`')
            out += L'\\';
        out += c == L'\\' ? L'/' : c;
    }
    return out + L'"';
}

bool SeedCacheEntry(const std::string& url) {
    char file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url.c_str(), 0, "htm", file, 0))
        return false;
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "<html></html>", 13, &written, nullptr);
    CloseHandle(h);
    FILETIME zero{};
    return CommitUrlCacheEntryA(url.c_str(), file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0,
                                nullptr, nullptr);
}

bool SeedVisited(const std::string& key) {
    FILETIME zero{};
    return CommitUrlCacheEntryA(key.c_str(), nullptr, zero, zero, URLHISTORY_CACHE_ENTRY, nullptr,
                                0, nullptr, nullptr);
}

bool InCache(const std::string& url) {
    DWORD size = 0;
    GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

std::string FileBytes(const std::wstring& path) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got)
        bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

bool Holds(const std::string& bytes, const std::string& text) {
    std::string wide;
    for (const char c : text)
        wide += std::string{c, '\0'};
    return bytes.find(text) != std::string::npos || bytes.find(wide) != std::string::npos;
}

LocalWebServer::LocalWebServer(const std::wstring& folder) : folder_(folder) {
    const std::wstring log = folder + L"\\server.log";
    if (!RunUnix(L"cd " + UnixPath(folder) +
                 L" && { python3 -u -m http.server --bind 127.0.0.1 0 > server.log 2>&1 & echo $! "
                 L"> server.pid; }"))
        return;
    // It names its port once it listens.
    for (int waited = 0; waited < 20000; waited += 10) {
        const std::string text = FileBytes(log);
        const size_t at = text.find(" port ");
        if (at != std::string::npos && text.find(')', at) != std::string::npos) {
            port_ = std::atoi(text.c_str() + at + 6);
            return;
        }
        Sleep(10);
    }
}

LocalWebServer::~LocalWebServer() {
    RunUnix(L"kill $(cat " + UnixPath(folder_ + L"\\server.pid") + L")");
}

// Whether every store's enumeration lists the entry.
bool Listed(const std::string& url) {
    std::vector<char> buf(65536);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data());
    DWORD size = static_cast<DWORD>(buf.size());
    const HANDLE search = FindFirstUrlCacheEntryA(nullptr, info, &size);
    bool found = false;
    for (BOOL more = search != nullptr; more && !found;) {
        found = info->lpszSourceUrlName && url == info->lpszSourceUrlName;
        size = static_cast<DWORD>(buf.size());
        more = FindNextUrlCacheEntryA(search, info, &size);
    }
    if (search)
        FindCloseUrlCache(search);
    return found;
}

// The values of a key and of its subkeys, names and data together.
std::string KeyBytes(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::string bytes;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        BYTE data[65536];
        DWORD dataLength = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        bytes.append(reinterpret_cast<const char*>(name), nameLength * sizeof(wchar_t));
        bytes.append(reinterpret_cast<const char*>(data), dataLength);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        bytes += KeyBytes(key, sub);
    }
    RegCloseKey(key);
    return bytes;
}

// The current user's key as the registry's own paths name it, for a link's target.
std::wstring UserKeyPath() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buf[256];
    DWORD size = 0;
    std::wstring path;
    wchar_t* sid = nullptr;
    if (token && GetTokenInformation(token, TokenUser, buf, sizeof buf, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &sid)) {
        path = std::wstring(L"\\Registry\\User\\") + sid;
        LocalFree(sid);
    }
    if (token)
        CloseHandle(token);
    return path;
}

} // namespace pbtest
