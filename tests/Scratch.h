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

} // namespace pbtest
