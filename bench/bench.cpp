// One measurement per call, printed as milliseconds (or KiB for memory) on stdout; the
// script bench/run.sh makes fresh data before each call and takes the medians.
#include "../tests/e2e/Driver.h"
#include "module/modMain.h"
#include <psapi.h>
#include <wininet.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// A person reads the completion box for about this long before closing it.
constexpr DWORD kReadingMs = 2000;

// From the click on "Clear Now!" to "Purgebox completed!", with one box ticked; optionally
// also the peak memory, and the longest answer to another program from the click until the
// box, read for a while as a person would, has been closed.
double TimeRun(const wchar_t* box, SIZE_T* peakKiB = nullptr, double* longestAnswerMs = nullptr) {
    e2e::App app;
    app.Click(app.Control(box));
    app.Sync();
    std::optional<e2e::AnswerProbe> probe;
    if (longestAnswerMs)
        probe.emplace(app.main());
    const auto start = Clock::now();
    PostMessageW(app.Control(L"Clear Now!"), BM_CLICK, 0, 0);
    const std::wstring message =
        app.AnswerMessageBox(30 * 60 * 1000, longestAnswerMs ? kReadingMs : 0);
    const double ms = Ms(start);
    if (probe) {
        app.Sync(); // the box's closing included
        *longestAnswerMs = probe->Stop();
    }
    if (message != L"Purgebox completed!")
        return -1;
    if (peakKiB) {
        HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.pid());
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        if (p && GetProcessMemoryInfo(p, &pmc, sizeof pmc))
            *peakKiB = pmc.PeakWorkingSetSize / 1024;
        if (p)
            CloseHandle(p);
    }
    return ms;
}

double TimeCommand(std::wstring command) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    const double ms = Ms(start);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

void SeedCache(int n) {
    FILETIME zero{};
    for (int i = 0; i < n; ++i)
        CommitUrlCacheEntryA(("http://bench.example/" + std::to_string(i)).c_str(), nullptr, zero,
                             zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr);
}

void SeedHistory(int n) {
    FILETIME zero{};
    for (int i = 0; i < n; ++i)
        CommitUrlCacheEntryA(("Visited: bench@http://h.example/" + std::to_string(i)).c_str(),
                             nullptr, zero, zero, URLHISTORY_CACHE_ENTRY, nullptr, 0, nullptr,
                             nullptr);
}

// The platform's own work alone: every entry found, deleted as it comes.
double BareCacheLoop(const char* pattern) {
    std::vector<char> buf(1 << 16);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data());
    const auto start = Clock::now();
    DWORD size = static_cast<DWORD>(buf.size());
    HANDLE h = FindFirstUrlCacheEntryA(pattern, info, &size);
    if (h) {
        do {
            DeleteUrlCacheEntryA(info->lpszSourceUrlName);
            size = static_cast<DWORD>(buf.size());
        } while (FindNextUrlCacheEntryA(h, info, &size));
        FindCloseUrlCache(h);
    }
    return Ms(start);
}

double TimeStart(const std::wstring& exe, const wchar_t* cls, const wchar_t* title) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    WaitForInputIdle(pi.hProcess, 60000);
    HWND w = nullptr;
    while (!(w = FindWindowW(cls, title)))
        Sleep(1);
    DWORD_PTR ignored;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored); // idle: it answers
    const double ms = Ms(start);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

double TimeCloser(int windows) {
    std::vector<HWND> made;
    for (int i = 0; i < windows; ++i)
        made.push_back(CreateWindowW(L"STATIC", (L"Window " + std::to_wstring(i)).c_str(), WS_POPUP,
                                     0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    const auto start = Clock::now();
    pb::CloseBrowserWindows();
    const double ms = Ms(start);
    for (HWND h : made)
        DestroyWindow(h);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: bench PURGEBOX_EXE CASE [ARG]\n");
        return 2;
    }
    e2e::ProgramPath() = e2e::ToWindowsPath(argv[1]);
    const std::string what = argv[2];
    const std::string arg = argc > 3 ? argv[3] : "";
    double result = -1;
    if (what == "purge-temp") { // ARG: the folder, made fresh by the script
        const std::wstring dir = e2e::ToWindowsPath(arg);
        SetEnvironmentVariableW(L"TMP", dir.c_str());
        SetEnvironmentVariableW(L"TEMP", dir.c_str());
        result = TimeRun(L"Windows Temp Files");
    } else if (what == "answer-temp" || what == "answer-cache" || what == "answer-history") {
        // The longest answer from the click until the completion box is closed; ARG for temp:
        // the folder
        if (what == "answer-temp") {
            const std::wstring dir = e2e::ToWindowsPath(arg);
            SetEnvironmentVariableW(L"TMP", dir.c_str());
            SetEnvironmentVariableW(L"TEMP", dir.c_str());
        }
        const wchar_t* box = what == "answer-temp"    ? L"Windows Temp Files"
                             : what == "answer-cache" ? L"Temporary Internet Files"
                                                      : L"Internet Explorer History";
        double longest = -1;
        if (TimeRun(box, nullptr, &longest) >= 0)
            result = longest;
    } else if (what == "purge-history") {
        result = TimeRun(L"Internet Explorer History");
    } else if (what == "del") {
        result = TimeCommand(L"cmd /c del /q \"" + e2e::ToWindowsPath(arg) + L"\\*\"");
    } else if (what == "seed-cache") {
        SeedCache(std::stoi(arg));
        result = 0;
    } else if (what == "purge-cache") {
        result = TimeRun(L"Temporary Internet Files");
    } else if (what == "bare-cache") {
        result = BareCacheLoop(nullptr);
    } else if (what == "bare-history") {
        result = BareCacheLoop("Visited:");
    } else if (what == "seed-history") {
        SeedHistory(std::stoi(arg));
        result = 0;
    } else if (what == "start") {
        result = TimeStart(e2e::ProgramPath(), L"PurgeboxMain", L"Purgebox");
    } else if (what == "start-minimal") {
        result = TimeStart(e2e::ToWindowsPath(arg), L"MinimalWindow", L"Minimal");
    } else if (what == "closer") {
        result = TimeCloser(std::stoi(arg));
    } else if (what == "memory") { // ARG: a temp folder of many files; history seeded before
        const std::wstring dir = e2e::ToWindowsPath(arg);
        SetEnvironmentVariableW(L"TMP", dir.c_str());
        SetEnvironmentVariableW(L"TEMP", dir.c_str());
        SIZE_T peak = 0;
        TimeRun(L"Windows Temp Files", &peak);
        result = static_cast<double>(peak);
    }
    printf("%.1f\n", result);
    return result < 0 ? 1 : 0;
}
