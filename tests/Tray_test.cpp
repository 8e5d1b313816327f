#include "Seams.h"
#include "TestSupport.h"
#include "history/HistoryCleanser.h"
#include "FakeHistoryStore.h"
#include "platform/Errors.h"
#include "forms/Twips.h"
#include "platform/CacheApi.h"
#include "platform/Scoped.h"
#include "module/modMain.h"
#include "platform/Pump.h"
#include <atomic>
#include <cstring>
#include <thread>

using namespace pbtest;

namespace {

// Answers the tray menu by picking the item with this caption (empty: dismiss it).
struct MenuPick {
    std::wstring pick;
    int shown = 0;
    std::vector<std::wstring> items;
    std::wstring defaultItem;
};

UINT Answer(HMENU menu, MenuPick& p) {
    ++p.shown;
    p.items.clear();
    UINT chosen = 0;
    const UINT def = GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        const UINT id = GetMenuItemID(menu, i);
        p.items.push_back(text[0] ? text : L"-");
        if (id == def)
            p.defaultItem = text;
        if (!p.pick.empty() && p.pick == text)
            chosen = id;
    }
    return chosen;
}

class Tray : public MainWindowTest {
  protected:
    void TearDown() override {
        menu.pick.clear(); // a click replayed as the window goes picks nothing
        pb::DeleteTrayIcon();
        MainWindowTest::TearDown();
    }
    // The icon's mouse message, as the shell delivers it to the callback window.
    void TrayMessage(UINT mouseMessage) {
        SendMessageW(form().Picture1->hwnd(), WM_MOUSEMOVE, 0, static_cast<LPARAM>(mouseMessage));
    }
    void Pick(const wchar_t* caption) {
        menu.pick = caption;
        TrayMessage(WM_RBUTTONDOWN);
    }
    bool OnScreen() { return IsWindowVisible(form().hwnd()) != FALSE; }
    void ExpectDesignClientSize() {
        RECT rc;
        GetClientRect(form().hwnd(), &rc);
        EXPECT_EQ(rc.right, pb::TwipsToPixels(7800));
        EXPECT_EQ(rc.bottom, pb::TwipsToPixels(6855));
    }
    MenuPick menu;
    const decltype(pb::seams::popupMenu)::Override picks =
        pb::seams::popupMenu.Use([this](HMENU m) { return Answer(m, menu); });
};

} // namespace

TEST_F(Tray, MinimisingHidesTheWindowBehindOneIconWithTheTip) {
    // CTest runs this case once more with the screen at 144 DPI, where the system's sizes grow.
    if (const char* dpi = getenv("PURGEBOX_TEST_DPI")) {
        ASSERT_EQ(pb::ScreenDpi(), atoi(dpi)) << "premise: the screen at the DPI asked for";
        ASSERT_EQ(GetSystemMetrics(SM_CXSMICON), MulDiv(16, atoi(dpi), 96));
        ASSERT_EQ(GetSystemMetrics(SM_CXICON), MulDiv(32, atoi(dpi), 96));
    }
    ShowWindow(form().hwnd(), SW_MINIMIZE);
    EXPECT_FALSE(OnScreen());
    EXPECT_TRUE(TrayIconPresent());
    const NOTIFYICONDATAA& icon = pb::gTrayIcon;
    EXPECT_EQ(icon.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(icon.hWnd, form().Picture1->hwnd());
    EXPECT_EQ(icon.uID, 1u);
    EXPECT_EQ(icon.uFlags, 7u);
    EXPECT_EQ(icon.uCallbackMessage, 0x200u);
    EXPECT_EQ(icon.hIcon, form().Picture1->picture().icon);
    // The shell's small size, as the caption's own small icon; the large one for Alt+Tab.
    const auto width = [](HANDLE h) {
        ICONINFO info{};
        if (!GetIconInfo(static_cast<HICON>(h), &info))
            return 0L;
        BITMAP bm{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return bm.bmWidth;
    };
    EXPECT_EQ(width(icon.hIcon), GetSystemMetrics(SM_CXSMICON));
    const auto caption = [&](WPARAM which) {
        return width(reinterpret_cast<HANDLE>(SendMessageW(form().hwnd(), WM_GETICON, which, 0)));
    };
    EXPECT_EQ(caption(ICON_SMALL), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(caption(ICON_BIG), GetSystemMetrics(SM_CXICON));
    const std::string tip =
        std::string("Purgebox (Right-Click for Menu)") + '\0' + std::string(32, ' ');
    EXPECT_EQ(std::string(icon.szTip, 64), tip);
    NOTIFYICONDATAA again = icon;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &again)); // one icon only

    Pick(L"Open Purgebox");
    EXPECT_TRUE(OnScreen());
    EXPECT_FALSE(IsIconic(form().hwnd()));
    EXPECT_FALSE(TrayIconPresent());
    ExpectDesignClientSize();
}

TEST_F(Tray, OnlyARightButtonPressOpensTheMenuAtAnyDpi) {
    pb::MinimizeToTray();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MOUSEMOVE,
                   WM_RBUTTONDBLCLK})
        TrayMessage(m);
    EXPECT_EQ(menu.shown, 0);
    TrayMessage(WM_RBUTTONDOWN);
    EXPECT_EQ(menu.shown, 1);
    EXPECT_EQ(menu.items, (std::vector<std::wstring>{L"Clean Now!", L"-", L"Open Purgebox",
                                                     L"Exit Purgebox", L"-", L"Purgebox Website"}));
    EXPECT_EQ(menu.defaultItem, L"Clean Now!");
    const auto at120 = pb::seams::screenDpi.Use([] { return 120; });
    TrayMessage(WM_RBUTTONDOWN);
    EXPECT_EQ(menu.shown, 2);
}

TEST_F(Tray, CloseButtonSendsTheWindowToTheTrayUntilOpenedAgain) {
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    EXPECT_FALSE(OnScreen());
    EXPECT_TRUE(TrayIconPresent());
    EXPECT_FALSE(pb::gQuitOnUnload);
    SendMessageW(form().hwnd(), WM_CLOSE, 0, 0); // refused while in the tray
    EXPECT_FALSE(OnScreen());
    EXPECT_TRUE(TrayIconPresent());
    EXPECT_EQ(ProgramEnds(), 0);

    Pick(L"Open Purgebox");
    EXPECT_TRUE(pb::gQuitOnUnload);
    SendMessageW(form().hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ProgramEnds(), 1);
    EXPECT_FALSE(TrayIconPresent());
}

TEST_F(Tray, ExitAndCleanFromTheMenu) {
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    form().Check2.SetValue(1);
    ScratchHkcu hkcu;
    Pick(L"Clean Now!");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, L"Purgebox completed!");
    EXPECT_EQ(LogLines()[2], L"       Clearing Typed URLs...Done");
    EXPECT_FALSE(OnScreen());

    Pick(L"Exit Purgebox");
    EXPECT_EQ(ProgramEnds(), 1);
    EXPECT_FALSE(TrayIconPresent());
}

TEST_F(Tray, EndOfSessionEndsTheProgramEvenFromTheTray) {
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(SendMessageW(form().hwnd(), WM_QUERYENDSESSION, 0, 0));
    SendMessageW(form().hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(ProgramEnds(), 1);
    EXPECT_FALSE(TrayIconPresent());
}

TEST_F(Tray, ARestartedTaskbarGetsTheIconBack) {
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    NOTIFYICONDATAA lost = pb::gTrayIcon;
    Shell_NotifyIconA(NIM_DELETE, &lost); // the shell went away with it
    ASSERT_FALSE(TrayIconPresent());
    SendMessageW(form().hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent());
    Pick(L"Open Purgebox");
    SendMessageW(form().hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(TrayIconPresent()); // on screen: no icon
}

TEST_F(Tray, WithoutAShellTheWindowWaitsOnTheTaskbarUntilANewShellTakesTheIcon) {
    const HWND main = form().hwnd();
    struct Case {
        const char* what;
        bool byClose, broughtBack; // "&Close" or minimised; back from the taskbar meanwhile
    };
    for (const Case& c : {Case{"&Close", true, false}, Case{"minimised", false, false},
                          Case{"brought back from the taskbar", true, true}}) {
        SCOPED_TRACE(c.what);
        auto refused = pb::seams::notifyIcon.Use([](DWORD, NOTIFYICONDATAA*) {
            return FALSE; // as when the shell has not started yet or does not answer
        });
        if (c.byClose)
            SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
        else
            ShowWindow(main, SW_MINIMIZE);
        EXPECT_TRUE(OnScreen()); // reachable: a button on the taskbar
        EXPECT_TRUE(IsIconic(main));
        if (c.broughtBack)
            ShowWindow(main, SW_RESTORE);
        refused.End(); // a shell has started
        ASSERT_FALSE(TrayIconPresent());

        SendMessageW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_EQ(TrayIconPresent(), !c.broughtBack);
        EXPECT_EQ(OnScreen(), c.broughtBack);
        Pick(L"Open Purgebox");
        ASSERT_TRUE(OnScreen() && !IsIconic(main));
    }
}

TEST_F(Tray, TheWindowsEndTakesTheIconAndTheHistorysObjectsWithIt) {
    // As when the loop ends on a WM_QUIT from outside: the window goes, COM still runs.
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    ASSERT_TRUE(TrayIconPresent());
    ASSERT_TRUE(pb::gCleanser);
    NOTIFYICONDATAA icon = pb::gTrayIcon;
    form_.reset();
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon));
    EXPECT_FALSE(pb::gCleanser) << "the history's objects outlive the window";
    form_ = std::make_unique<pb::FrmMain>();
    form_->Load();
}

TEST_F(Tray, TheWindowKeepsItsDesignedClientArea) {
    SetWindowPos(form().hwnd(), nullptr, 0, 0, 900, 900, SWP_NOMOVE | SWP_NOZORDER);
    ExpectDesignClientSize();
    const auto at120 = pb::seams::screenDpi.Use([] { return 120; });
    SetWindowPos(form().hwnd(), nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
    ExpectDesignClientSize();
}

TEST_F(Tray, AnErrorThatEndsTheProgramFromTheTrayLeavesNoIcon) {
    SendMessageW(form().Command3.hwnd(), BM_CLICK, 0, 0);
    ASSERT_TRUE(TrayIconPresent());
    static std::wstring reported;
    const auto reports = pb::seams::fatalError.Use([](const std::wstring& m) { reported = m; });
    const auto atPumps =
        pb::seams::pumpingPoint.Use([] { throw std::runtime_error("the store failed"); });
    Pick(L"Clean Now!");
    EXPECT_EQ(reported, L"the store failed");
    EXPECT_FALSE(TrayIconPresent());
}

namespace {
// The shell's right click on the icon, from another thread: it notifies and does not wait.
// Once the window has answered the WM_NULL sent after it, it has dealt with the callback.
HWND gTrayWindow, gMainWindow;
void ShellRightClick() {
    SendNotifyMessageW(gTrayWindow, WM_MOUSEMOVE, 0, WM_RBUTTONDOWN);
    DWORD_PTR ignored;
    SendMessageTimeoutW(gMainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
}

// A cache of one entry that the icon is right-clicked on while the task searches it.
int gCacheDeleted = 0;
HANDLE WINAPI FirstEntryAfterAClick(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
    ShellRightClick();
    static char url[] = "http://cached.example/";
    if (*size < sizeof *info) {
        *size = sizeof *info;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    info->lpszSourceUrlName = url;
    return reinterpret_cast<HANDLE>(0x300);
}
BOOL WINAPI NoNextEntry(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}
BOOL WINAPI DeleteEntry(LPCSTR) {
    ++gCacheDeleted;
    return TRUE;
}
BOOL WINAPI CloseSearch(HANDLE) {
    return TRUE;
}

// Another program's window that answers its title slowly, the shell reporting a right click on
// the icon meanwhile: the click arrives while the browser closer waits for the answer.
std::atomic<bool> gClickOnTitle{false};
LRESULT CALLBACK SlowTitle(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_GETTEXTLENGTH && gClickOnTitle.exchange(false)) {
        SendNotifyMessageW(gTrayWindow, WM_MOUSEMOVE, 0, WM_RBUTTONDOWN);
        Sleep(100);
    }
    return DefWindowProcW(h, m, w, l);
}
class SlowWindow {
  public:
    SlowWindow()
        : thread_([this] {
              WNDCLASSW wc{};
              wc.lpfnWndProc = &SlowTitle;
              wc.hInstance = GetModuleHandleW(nullptr);
              wc.lpszClassName = L"PurgeboxTestSlowTitle";
              RegisterClassW(&wc);
              const HWND h = CreateWindowW(wc.lpszClassName, L"slow", WS_POPUP, 0, 0, 10, 10,
                                           nullptr, nullptr, wc.hInstance, nullptr);
              id_ = GetCurrentThreadId();
              SetEvent(ready_.get());
              MSG msg;
              while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                  DispatchMessageW(&msg);
              DestroyWindow(h);
          }) {
        WaitForSingleObject(ready_.get(), 60000);
    }
    ~SlowWindow() {
        PostThreadMessageW(id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    SlowWindow(const SlowWindow&) = delete;
    SlowWindow& operator=(const SlowWindow&) = delete;

  private:
    pb::UniqueKernelHandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<DWORD> id_{0};
    std::thread thread_;
};

// When the menu came: after how many of the run's pumping points, and what the tasks had done.
struct Shown {
    int pumpingPoint;
    bool cacheEmptied, historyCleared;
    bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* os) {
    *os << "{pumping point " << s.pumpingPoint << ", cache " << (s.cacheEmptied ? "" : "not ")
        << "emptied, history " << (s.historyCleared ? "" : "not ") << "cleared}";
}
} // namespace

TEST_F(Tray, ARightClickDuringATaskOpensTheMenuOnlyAtTheRunsNextPumpingPoint) {
    gTrayWindow = form().Picture1->hwnd();
    gMainWindow = form().hwnd();
    gCacheDeleted = 0;
    const pb::CacheApi cache{nullptr,      nullptr,      nullptr,     &FirstEntryAfterAClick,
                             &NoNextEntry, &DeleteEntry, &CloseSearch};
    FakeState history;
    history.records = {{L"http://visited.example/", L"Visited"}};
    history.onClear = &ShellRightClick;
    const pb::ScopedValue fake(
        pb::gCleanser,
        std::make_unique<pb::HistoryCleanser>(pb::Adopt<IUrlHistoryStg2>(new FakeStore(history)),
                                              std::function<void()>()));
    ASSERT_EQ(pb::gCleanser->Count(), 1);

    std::vector<Shown> shown;
    int pumpingPoints = 0;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] { ++pumpingPoints; });
    const auto counted = pb::seams::popupMenu.Use([&](HMENU) {
        shown.push_back({pumpingPoints, gCacheDeleted == 1, history.records.empty()});
        return 0u;
    });
    const auto scripted = pb::seams::cacheApi.Use([&]() -> const pb::CacheApi& { return cache; });
    const SlowWindow slow;
    gClickOnTitle = true;
    form().Check1.SetValue(1);
    form().Check2.SetValue(1);
    form().Check4.SetValue(1);
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);

    // Each menu came after its task had returned, at the pumping point that followed it: also
    // the one clicked while the typed-URL task waited for another program's answer.
    EXPECT_EQ(shown, (std::vector<Shown>{{1, true, false}, {2, true, false}, {3, true, true}}));
    EXPECT_EQ(Messages().size(), 1u); // the run's own box: no other run began inside it
}

namespace {
// A cache whose search fails once the icon has been right-clicked: the task shows its error box.
HANDLE WINAPI FailAfterAClick(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
    ShellRightClick();
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// The boxes of this process that are up.
std::vector<HWND> OwnBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            wchar_t cls[8] = {};
            GetClassNameW(h, cls, 8);
            if (pid == GetCurrentProcessId() && IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0)
                reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// A box of this process's, once it is up (if none comes, the run that would show it ends).
HWND WaitForOwnBox(DWORD timeoutMs = 60000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        if (const std::vector<HWND> boxes = OwnBoxes(); !boxes.empty())
            return boxes.front();
        Sleep(10);
    }
    return nullptr;
}

// Returns once the box is gone, so that it cannot be taken for the next one.
void CloseBox(HWND box) {
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < 6000 && IsWindow(box); ++i)
        Sleep(10);
}
} // namespace

TEST_F(Tray, AClickHeldFromBeforeAnErrorBoxOpensTheMenuOnlyAtTheNextPumpingPointAfterIt) {
    gTrayWindow = form().Picture1->hwnd();
    gMainWindow = form().hwnd();
    const pb::CacheApi cache{nullptr,      nullptr,      nullptr,     &FailAfterAClick,
                             &NoNextEntry, &DeleteEntry, &CloseSearch};
    struct MenuAt {
        int pumpingPoint;
        bool afterTheErrorBox;
    };
    std::vector<MenuAt> shown;
    std::atomic<int> menus{0};
    int pumpingPoints = 0;
    std::atomic<bool> errorBoxClosed{false};
    const auto atPumps = pb::seams::pumpingPoint.Use([&] { ++pumpingPoints; });
    const auto counted = pb::seams::popupMenu.Use([&](HMENU) {
        ++menus;
        shown.push_back({pumpingPoints, errorBoxClosed});
        return 0u;
    });
    // A person reads the error box, right-clicks the icon meanwhile and presses OK; then the
    // same with the completion box.
    std::vector<int> menusWhileUp; // after the click on the icon, for each box
    std::thread person([&] {
        for (int box = 0; box < 2; ++box) {
            const HWND h = WaitForOwnBox();
            if (!h)
                return;
            ShellRightClick();
            menusWhileUp.push_back(menus);
            errorBoxClosed = true;
            CloseBox(h);
        }
    });
    {
        const auto realBoxes = pb::seams::messageBox.Use({});
        const auto scripted =
            pb::seams::cacheApi.Use([&]() -> const pb::CacheApi& { return cache; });
        form().Check1.SetValue(1);
        SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
        person.join();
    }
    Pump(); // with the menu still counted

    // The click from before the error box opened the menu at the run's first pumping point,
    // after the box; the ones made while a box was up opened none.
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].pumpingPoint, 1);
    EXPECT_TRUE(shown[0].afterTheErrorBox);
    EXPECT_EQ(menusWhileUp, (std::vector<int>{0, 1}));
}

namespace {
// During the cache task "&Close" is clicked and the icon right-clicked; the run then fails.
HWND gCloseButton;
HANDLE WINAPI ClicksThenEmpty(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
    PostMessageW(gCloseButton, BM_CLICK, 0, 0);
    ShellRightClick();
    SetLastError(ERROR_NO_MORE_ITEMS);
    return nullptr;
}
int gMenusUnderTheErrorBox = 0;
} // namespace

TEST_F(Tray, TheFatalErrorsBoxStartsNothingAndPutsNoIconBack) {
    gTrayWindow = form().Picture1->hwnd();
    gMainWindow = form().hwnd();
    gCloseButton = form().Command3.hwnd();
    gMenusUnderTheErrorBox = 0;
    const pb::CacheApi cache{nullptr,      nullptr,      nullptr,     &ClicksThenEmpty,
                             &NoNextEntry, &DeleteEntry, &CloseSearch};
    const auto counted = pb::seams::popupMenu.Use([](HMENU) {
        ++gMenusUnderTheErrorBox;
        return 0u;
    });
    {
        // The error's box: its loop handles whatever is queued, as a box's loop does.
        const auto reports = pb::seams::fatalError.Use([](const std::wstring&) {
            for (int i = 0; i < 20; ++i) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                Sleep(5);
            }
        });
        const auto storeFails =
            pb::seams::pumpingPoint.Use([] { throw std::runtime_error("the store failed"); });
        const auto scripted =
            pb::seams::cacheApi.Use([&]() -> const pb::CacheApi& { return cache; });
        form().Check1.SetValue(1);
        SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    }
    Pump(); // what the window has queued meanwhile is handled as usual, with the menu counted

    EXPECT_EQ(gMenusUnderTheErrorBox, 0);
    EXPECT_TRUE(OnScreen()); // "&Close" did not run
    EXPECT_FALSE(TrayIconPresent());
    EXPECT_TRUE(pb::gQuitOnUnload);
}

TEST_F(Tray, AClickOnClearNowThatReachesTheCompletionBoxStartsItsRunOnlyAfterTheBox) {
    const HWND main = form().hwnd(), clearNow = form().Command1.hwnd();
    size_t mostAtOnce = 0;
    std::atomic<int> closed{0};
    std::thread person([&] {
        if (!WaitForOwnBox())
            return;
        // A click on "Clear Now!" that was queued before the box took the window.
        PostMessageW(clearNow, BM_CLICK, 0, 0);
        DWORD_PTR ignored;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
        Sleep(300);
        mostAtOnce = OwnBoxes().size();
        // The second box comes once the window's thread is back in its loop, however busy the
        // machine; one more that comes soon after is closed too, so that no box is left up.
        for (DWORD wait = 60000; const HWND box = WaitForOwnBox(wait);
             wait = closed < 2 ? 60000 : 1000) {
            ++closed;
            CloseBox(box);
        }
    });
    const auto realBoxes = pb::seams::messageBox.Use({});
    SendMessageW(clearNow, BM_CLICK, 0, 0);
    for (int i = 0; i < 50 && closed < 2; ++i)
        Pump(); // the window's own loop: the held click's run
    person.join();

    EXPECT_EQ(mostAtOnce, 1u); // no run nested under the box
    EXPECT_EQ(closed, 2);      // and the click was not lost
}
