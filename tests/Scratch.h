#pragma once
// Scratch folders, environment and cache data for tests; needs nothing of the program.
#include <windows.h>
#include <string>

namespace pbtest {

// A scratch folder under the test's own temp directory, removed with everything
// in it.
class ScratchDir {
  public:
    explicit ScratchDir(const std::wstring& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name, const std::string& content = "x") const;

  private:
    std::wstring path_;
};

bool Exists(const std::wstring& path);
// The files (not folders) directly in a folder.
size_t CountFiles(const std::wstring& dir);

// Sets TMP and TEMP of this process, restoring them afterwards.
class TempDirOverride {
  public:
    explicit TempDirOverride(const std::wstring& dir);
    ~TempDirOverride();
    TempDirOverride(const TempDirOverride&) = delete;
    TempDirOverride& operator=(const TempDirOverride&) = delete;

  private:
    std::wstring tmp_, temp_;
};

// Runs a shell script on the Unix side, as another Linux program would, and waits for it; true
// when it ran and succeeded. Wine starts Linux programs for Windows ones; Windows has none.
bool RunUnix(const std::wstring& script);
// A path on a drive of this prefix as the Unix side names it, as one word of that script.
std::wstring UnixPath(const std::wstring& windowsPath);

// WinInet cache data, seeded as a browser would leave it. Each answers whether it worked.
bool SeedCacheEntry(const std::string& url); // a page with its file
bool SeedVisited(const std::string& key);    // a history record, "Visited: user@url"
bool InCache(const std::string& url);

// Whether the enumeration of every store lists the entry.
bool Listed(const std::string& url);

// The values of a key and of its subkeys, names and data together.
std::string KeyBytes(HKEY root, const std::wstring& path);
// The current user's key as the registry's own paths name it ("\Registry\User\<sid>").
std::wstring UserKeyPath();

// The whole of a file that others may hold open; empty when it cannot be read.
std::string FileBytes(const std::wstring& path);
// Whether the bytes hold the text, as ANSI or as UTF-16.
bool Holds(const std::string& bytes, const std::string& text);

// python3's own web server on 127.0.0.1, serving a folder for the length of a test.
class LocalWebServer {
  public:
    explicit LocalWebServer(const std::wstring& folder);
    ~LocalWebServer();
    LocalWebServer(const LocalWebServer&) = delete;
    LocalWebServer& operator=(const LocalWebServer&) = delete;
    // 0 when it did not start.
    int port() const { return port_; }

  private:
    std::wstring folder_;
    int port_ = 0;
};

} // namespace pbtest
