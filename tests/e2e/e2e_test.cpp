#include "../Scratch.h"
#include "Driver.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <wininet.h>

using namespace e2e;
using pbtest::Exists;
using pbtest::InCache;
using pbtest::ScratchDir;
using pbtest::SeedCacheEntry;
using pbtest::SeedVisited;
using Lines = std::vector<std::wstring>;

namespace {

const std::vector<std::wstring> kAllBoxes{
    L"Temporary Internet Files", L"Internet Explorer Typed URLs", L"Internet Explorer History",
    L"Recent Documents List", L"Windows Temp Files"};
constexpr wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";

// The history's records, as WinInet lists its "Visited:" container.
std::vector<std::string> VisitedKeys() {
    std::vector<char> buf(1 << 16);
    std::vector<std::string> keys;
    DWORD size = static_cast<DWORD>(buf.size());
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data());
    HANDLE h = FindFirstUrlCacheEntryA("Visited:", info, &size);
    if (!h)
        return keys;
    do {
        if (std::string key = info->lpszSourceUrlName; key.rfind("Visited:", 0) == 0)
            keys.push_back(std::move(key));
        size = static_cast<DWORD>(buf.size());
    } while (FindNextUrlCacheEntryA(h, info, &size));
    FindCloseUrlCache(h);
    return keys;
}

int HistoryCount() {
    return static_cast<int>(VisitedKeys().size());
}

bool KeyExists(const wchar_t* path) {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

void SetString(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value,
                    static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

HWND HelperBrowserWindow(const wchar_t* title) {
    return CreateWindowW(L"STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Wine's own browser on a blank page, as a user starts it; ended by force if a test leaves
// it running.
class Browser {
  public:
    Browser() {
        wchar_t path[MAX_PATH] = {};
        ExpandEnvironmentStringsW(L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", path,
                                  MAX_PATH);
        std::wstring cmd = L"\"" + std::wstring(path) + L"\" about:blank";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi_)) {
            frame_ = WaitForWindow(pi_.dwProcessId, L"IEFrame", nullptr, 30000);
            // Shown is not yet ready: closed before it waits for input, it may start again.
            WaitForInputIdle(pi_.hProcess, 30000);
        }
    }
    ~Browser() {
        if (pi_.hProcess && !WaitExit(0)) {
            TerminateProcess(pi_.hProcess, 9);
            WaitForSingleObject(pi_.hProcess, 10000);
        }
        if (pi_.hProcess) {
            CloseHandle(pi_.hThread);
            CloseHandle(pi_.hProcess);
        }
    }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    HWND frame() const { return frame_; }
    bool WaitExit(DWORD ms) const {
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            if (GetTickCount() - start >= ms)
                return false;
            PumpFor(20);
        }
        return true;
    }

  private:
    PROCESS_INFORMATION pi_{};
    HWND frame_ = nullptr;
};

bool AnyFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

Lines Sorted(Lines v) {
    std::sort(v.begin(), v.end());
    return v;
}

// No history and no Recent files left by another test: the logs and counts are exact.
void ForgetEarlierTests() {
    for (const std::string& key : VisitedKeys())
        DeleteUrlCacheEntryA(key.c_str());
    WIN32_FIND_DATAW fd;
    const std::wstring recent = RecentFolder();
    HANDLE h = FindFirstFileW((recent + L"\\*.lnk").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((recent + L"\\" + fd.cFileName).c_str());
    while (FindNextFileW(h, &fd));
    FindClose(h);
}

// The machine as the program will see it: its temp folder is a scratch folder of ours.
class EndToEnd : public ::testing::Test {
  protected:
    EndToEnd() : temp_(L"e2etemp"), tmp_(temp_.path() + L"\\") { ForgetEarlierTests(); }
    std::wstring TempUpper() const {
        std::wstring s = temp_.path();
        CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    }
    void MakeFiles(const std::wstring& prefix, int count) const {
        for (int i = 0; i < count; ++i)
            temp_.File(prefix + std::to_wstring(i) + L".tmp");
    }
    ScratchDir temp_;
    pbtest::TempDirOverride tmp_;
};

} // namespace

TEST_F(EndToEnd, FirstStartShowsTheIdleWindow) {
    App app;
    EXPECT_EQ(app.Log(), Lines{L"     Purgebox is Idle..."});
    EXPECT_EQ(App::Text(app.ControlById(pb::idLabel2)), L"Purgebox is Idle...");
    EXPECT_FALSE(app.Visible(app.LogList()));
    EXPECT_FALSE(app.Visible(app.Control(L"&Hide Log")));
    for (const auto& caption : kAllBoxes) {
        ASSERT_NE(app.Control(caption), nullptr) << caption;
        EXPECT_EQ(app.Check(app.Control(caption)), 0);
    }
    for (const wchar_t* caption :
         {L"Clear Now!", L"Select &All", L"&Close", L"Purgebox Website", L"About"})
        EXPECT_NE(app.Control(caption), nullptr) << caption;
    // Tab order: the five options, then the two buttons, then "&Close".
    std::vector<std::wstring> order;
    HWND h = app.Control(L"Temporary Internet Files");
    for (int i = 0; i < 8; ++i, h = GetNextDlgTabItem(app.main(), h, FALSE))
        order.push_back(App::Text(h));
    EXPECT_EQ(order, (Lines{L"Temporary Internet Files", L"Internet Explorer Typed URLs",
                            L"Recent Documents List", L"Internet Explorer History",
                            L"Windows Temp Files", L"Clear Now!", L"Select &All", L"&Close"}));
}

TEST_F(EndToEnd, EveryBoxTickedRemovesExactlyWhatItNames) {
    ASSERT_TRUE(SeedCacheEntry("http://cached.example/page.htm"));
    ASSERT_TRUE(SeedCacheEntry("http://cached.example/logo.gif"));
    ASSERT_TRUE(SeedVisited("Visited: tester@http://visited.example/"));
    SetString(kTypedUrls, L"url1", L"http://typed.example/");
    SetString(L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"about:blank");
    const std::wstring recent = RecentFolder();
    CreateDirectoryW(recent.c_str(), nullptr);
    CloseHandle(CreateFileW((recent + L"\\letter.doc.lnk").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    temp_.File(L"one.tmp");
    temp_.File(L"two.tmp");
    SetFileAttributesW(temp_.File(L"hidden.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(temp_.File(L"system.tmp").c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW((temp_.path() + L"\\keep").c_str(), nullptr);
    temp_.File(L"keep\\inside.tmp");
    HWND browser = HelperBrowserWindow(L"Start - Microsoft Internet Explorer");
    HWND editor = HelperBrowserWindow(L"Internet Explorer notes");

    App app;
    const Lines log = app.Run(kAllBoxes);
    PumpFor(100);
    ASSERT_EQ(log.size(), 18u);
    EXPECT_TRUE(log[0].starts_with(L"     Purgebox started at "));
    EXPECT_EQ(log[1], L"      ");
    EXPECT_EQ(log[2], L"       Clearing Typed URLs...Done");
    EXPECT_EQ(log[3], L"          Windows Recent Files found");
    EXPECT_EQ(log[4], L"          " + recent);
    EXPECT_EQ(log[5], L"          Removing Files:");
    EXPECT_EQ(log[6], L"           letter.doc.lnk");
    EXPECT_EQ(log[7], L"          Windows Recent Files Cleared");
    EXPECT_EQ(log[8], L"          Purgebox removed 1 files");
    EXPECT_EQ(log[9], L"          Windows Temp Directory found");
    EXPECT_EQ(log[10], L"          " + TempUpper());
    EXPECT_EQ(log[11], L"          Removing Files:");
    EXPECT_EQ(Sorted({log[12], log[13]}), (Lines{L"           one.tmp", L"           two.tmp"}));
    EXPECT_EQ(log[14], L"          Windows Temp Directory Cleared");
    EXPECT_EQ(log[15], L"          Purgebox removed 2 files");
    EXPECT_EQ(log[16], L"      ");
    EXPECT_TRUE(log[17].starts_with(L"     Purgebox completed at "));
    EXPECT_FALSE(app.Visible(app.ControlById(pb::idShape1))); // the progress frame
    EXPECT_TRUE(app.Visible(app.Control(L"&Hide Log")));

    EXPECT_FALSE(InCache("http://cached.example/page.htm"));
    EXPECT_FALSE(InCache("http://cached.example/logo.gif"));
    EXPECT_EQ(HistoryCount(), 0);
    EXPECT_FALSE(KeyExists(kTypedUrls));
    EXPECT_TRUE(KeyExists(L"Software\\Microsoft\\Internet Explorer\\Main"));
    EXPECT_FALSE(Exists(recent + L"\\letter.doc.lnk"));
    EXPECT_FALSE(Exists(temp_.path() + L"\\one.tmp"));
    EXPECT_TRUE(Exists(temp_.path() + L"\\hidden.tmp"));
    EXPECT_TRUE(Exists(temp_.path() + L"\\system.tmp"));
    EXPECT_TRUE(Exists(temp_.path() + L"\\keep\\inside.tmp"));
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_TRUE(IsWindow(editor));
    DestroyWindow(editor);
}

TEST_F(EndToEnd, EachBoxAloneRunsOnlyItsTask) {
    App app;
    EXPECT_EQ(app.Run({}).size(), 4u);
    SetString(kTypedUrls, L"url1", L"http://typed.example/");
    EXPECT_EQ(app.Run({L"Internet Explorer Typed URLs"})[2], L"       Clearing Typed URLs...Done");
    temp_.File(L"a.tmp");
    const Lines recentOnly = app.Run({L"Recent Documents List"});
    EXPECT_EQ(recentOnly[2], L"          Windows Recent Files found");
    EXPECT_TRUE(Exists(temp_.path() + L"\\a.tmp"));
    EXPECT_EQ(app.Run({L"Windows Temp Files"})[2], L"          Windows Temp Directory found");
    EXPECT_FALSE(Exists(temp_.path() + L"\\a.tmp"));
    ASSERT_TRUE(SeedCacheEntry("http://alone.example/"));
    ASSERT_TRUE(SeedVisited("Visited: tester@http://alone-history.example/"));
    EXPECT_EQ(app.Run({L"Temporary Internet Files"}).size(), 4u);
    EXPECT_FALSE(InCache("http://alone.example/"));
    EXPECT_EQ(HistoryCount(), 1); // the history is not a temporary file
    EXPECT_EQ(app.Run({L"Internet Explorer History"}).size(), 4u);
    EXPECT_EQ(HistoryCount(), 0);
}

TEST_F(EndToEnd, WineBrowserIsClosedByTheHistoryTaskAndByTheTypedUrlTask) {
    // Titled "Wine Internet Explorer": only its window class says it is the browser.
    App app;
    for (const wchar_t* box : {L"Internet Explorer History", L"Internet Explorer Typed URLs"}) {
        SCOPED_TRACE(box);
        const Browser browser;
        ASSERT_NE(browser.frame(), nullptr) << "Wine's browser showed no window";
        app.Run({box});
        EXPECT_TRUE(browser.WaitExit(15000)) << "the browser is still running";
        EXPECT_FALSE(IsWindow(browser.frame()));
    }
}

namespace {
// Another program's window that counts the keys it is given, arrows included.
int gKeysToOther = 0;
LRESULT CALLBACK CountKeys(HWND h, UINT m, WPARAM w, LPARAM l) {
    gKeysToOther += m == WM_KEYDOWN || m == WM_CHAR;
    return DefWindowProcW(h, m, w, l);
}
} // namespace

TEST_F(EndToEnd, TrayLifeFromCloseToExit) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CountKeys;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PurgeboxTestOther";
    RegisterClassW(&wc);
    const HWND focused = CreateWindowW(wc.lpszClassName, L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                       0, 0, 300, 100, nullptr, nullptr, wc.hInstance, nullptr);
    gKeysToOther = 0;
    App app;
    app.Click(app.Control(L"Windows Temp Files"));
    app.Click(app.Control(L"&Close"));
    app.Sync();
    EXPECT_FALSE(IsWindowVisible(app.main()));
    MakeFiles(L"t", 1000);
    ASSERT_TRUE(app.PickTrayItem(L"Clean Now!"));
    // The user goes on in another program while the purge logs its files.
    SetForegroundWindow(focused);
    SetFocus(focused);
    for (int i = 0; i < 250 && GetForegroundWindow() != focused; ++i)
        PumpFor(20);
    ASSERT_EQ(GetForegroundWindow(), focused) << "the other program never had the foreground";
    EXPECT_EQ(app.AnswerMessageBox(), L"Purgebox completed!");
    PumpFor(200);
    EXPECT_EQ(gKeysToOther, 0); // nothing was typed into another program
    EXPECT_FALSE(Exists(temp_.path() + L"\\t999.tmp"));
    EXPECT_FALSE(IsWindowVisible(app.main()));

    ASSERT_TRUE(app.PickTrayItem(L"Open Purgebox"));
    app.Sync();
    for (int i = 0; i < 3000 && !IsWindowVisible(app.main()); ++i)
        PumpFor(20);
    EXPECT_TRUE(IsWindowVisible(app.main()));
    app.Click(app.Control(L"&Close"));
    app.Sync();
    ASSERT_TRUE(app.PickTrayItem(L"Exit Purgebox"));
    EXPECT_TRUE(app.WaitExit(10000));
    DestroyWindow(focused);
}

TEST_F(EndToEnd, HideLogAndSelectAll) {
    App app;
    app.Run({});
    app.Click(app.Control(L"&Hide Log"));
    app.Sync();
    EXPECT_EQ(app.Log(), Lines{L"     Purgebox is Idle..."});
    app.Hover(app.Control(L"Internet Explorer Typed URLs"));
    const HWND description = app.ControlById(pb::idText1);
    EXPECT_TRUE(app.Visible(description));
    EXPECT_EQ(App::Text(description), L"Purgebox will remove all of the URLs (Internet Addresses) "
                                      L"stored in your IE Address bar.");
    app.Click(app.Control(L"Select &All"));
    app.Sync();
    for (const auto& caption : kAllBoxes)
        EXPECT_EQ(app.Check(app.Control(caption)), 1);
    app.Click(app.Control(L"Deselect &All"));
    app.Sync();
    for (const auto& caption : kAllBoxes)
        EXPECT_EQ(app.Check(app.Control(caption)), 0);
}

TEST_F(EndToEnd, ClearNowDuringARunRunsANestedRunAndBothComplete) {
    ScratchDir outside(L"e2eoutside");
    const std::wstring precious = outside.File(L"precious.txt");
    MakeFiles(L"bulk", 3000);
    App app;
    app.Click(app.Control(L"Windows Temp Files"));
    app.Click(app.Control(L"Clear Now!"));
    PumpFor(300);
    app.Click(app.Control(L"Clear Now!")); // handled at one of the purge's pumping points
    EXPECT_EQ(app.AnswerMessageBox(), L"Purgebox completed!");
    EXPECT_EQ(app.AnswerMessageBox(), L"Purgebox completed!");
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(Exists(precious));
    EXPECT_FALSE(AnyFile(temp_.path() + L"\\bulk*"));
}

TEST_F(EndToEnd, KilledInTheMiddleOfAPurgeItStartsAgainAndFinishesTheWork) {
    MakeFiles(L"k", 3000);
    {
        App app;
        app.Click(app.Control(L"Windows Temp Files"));
        app.Click(app.Control(L"Clear Now!"));
        PumpFor(1500);
        app.Kill();
    }
    App again;
    const Lines log = again.Run({L"Windows Temp Files"});
    EXPECT_TRUE(log[log.size() - 3].starts_with(L"          Purgebox removed "))
        << log[log.size() - 3];
    EXPECT_FALSE(AnyFile(temp_.path() + L"\\k*"));
}

TEST_F(EndToEnd, TheWindowAnswersFromTheClickUntilTheCompletionBoxIsClosed) {
    MakeFiles(L"answer", 300);
    App app;
    app.Click(app.Control(L"Windows Temp Files"));
    app.Sync();
    AnswerProbe probe(app.main());
    PostMessageW(app.Control(L"Clear Now!"), BM_CLICK, 0, 0);
    EXPECT_EQ(app.AnswerMessageBox(120000, 2000), L"Purgebox completed!");
    app.Sync();
    // The benchmark holds the goal (100 ms). A test only catches a window that stops answering,
    // as one that waits for the box to leave the screen does for two seconds, with room for a
    // busy machine, where the asking thread's own turn may come late.
    EXPECT_LT(probe.Stop(), 1500.0);
}

TEST_F(EndToEnd, ATrayClickWhileTheBoxIsUpBringsTheBoxToTheFrontAndStartsNothing) {
    // Whether `window` becomes the foreground window and stays so for a moment.
    const auto settlesInFront = [](HWND window) {
        for (int i = 0; i < 150; ++i) {
            PumpFor(20);
            if (GetForegroundWindow() != window)
                continue;
            PumpFor(300);
            if (GetForegroundWindow() == window)
                return true;
        }
        return false;
    };
    for (const bool inTray : {false, true}) {
        SCOPED_TRACE(inTray ? "run from the tray" : "run from the window");
        App app;
        if (inTray) {
            app.Click(app.Control(L"&Close"));
            app.Sync();
            ASSERT_TRUE(app.PickTrayItem(L"Clean Now!"));
        } else {
            PostMessageW(app.Control(L"Clear Now!"), BM_CLICK, 0, 0);
        }
        const HWND box = WaitForWindow(app.pid(), L"#32770", L"Purgebox", 60000);
        ASSERT_NE(box, nullptr);
        // The box is shown and activated a moment after it exists: let it take the foreground
        // before the user goes elsewhere, or it takes it back from the other program.
        ASSERT_TRUE(settlesInFront(box));
        // The user went on in another program.
        const HWND other = CreateWindowW(L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                         100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(other);
        ASSERT_TRUE(settlesInFront(other));
        // As the shell reports a right click on the icon: notified, not waited for.
        SendNotifyMessageW(app.TrayWindow(), WM_MOUSEMOVE, 0, WM_RBUTTONDOWN);
        SendNotifyMessageW(app.TrayWindow(), WM_MOUSEMOVE, 0, WM_RBUTTONUP);
        app.Sync();
        EXPECT_TRUE(settlesInFront(box));
        EXPECT_EQ(WaitForWindow(app.pid(), L"#32768", nullptr, 300), nullptr); // no menu
        EXPECT_EQ(app.AnswerMessageBox(), L"Purgebox completed!");
        // Nothing was held for later either: no menu and no second run after the box.
        EXPECT_EQ(WaitForWindow(app.pid(), L"#32768", nullptr, 500), nullptr);
        EXPECT_EQ(WaitForWindow(app.pid(), L"#32770", L"Purgebox", 500), nullptr);
        EXPECT_EQ(IsWindowVisible(app.main()) != FALSE, !inTray);
        DestroyWindow(other);
    }
}
