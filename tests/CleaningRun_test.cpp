#include "Seams.h"
#include "TestSupport.h"
#include "module/FolderPurge.h"
#include "module/modMain.h"
#include "platform/Pump.h"
#include <shlobj.h>
#include <wininet.h>
#include <atomic>
#include <thread>

using namespace pbtest;

using CleaningRun = MainWindowTest;

namespace {
bool IsTimeLine(const std::wstring& line, const std::wstring& prefix) {
    // "     <prefix>" followed by an en-US time such as 10:41:07 AM.
    if (line.rfind(L"     " + prefix, 0) != 0)
        return false;
    const std::wstring time = line.substr(5 + prefix.size());
    return time.size() >= 10 && time.find(L':') != std::wstring::npos &&
           (time.ends_with(L" AM") || time.ends_with(L" PM"));
}
} // namespace

TEST_F(CleaningRun, WithNoBoxTickedFramesAnEmptyLogAndFillsTheBar) {
    auto& f = form();
    std::vector<float> widths;
    const auto atPumps =
        pb::seams::pumpingPoint.Use([&] { widths.push_back(f.Shape2->WidthTwips()); });
    MouseMove(f.Check2.hwnd()); // description mode before the run
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(IsTimeLine(lines[0], L"Purgebox started at ")) << lines[0];
    EXPECT_EQ(lines[1], L"      ");
    EXPECT_EQ(lines[2], L"      ");
    EXPECT_TRUE(IsTimeLine(lines[3], L"Purgebox completed at ")) << lines[3];
    EXPECT_EQ(f.Label2->Text(), lines[3].substr(5));

    // One pump after each of the first four stages, at the designed frame width.
    EXPECT_EQ(widths, (std::vector<float>{1395.0f, 2790.0f, 4185.0f, 5580.0f}));
    EXPECT_EQ(f.Shape2->WidthTwips(), 6955.0f);
    EXPECT_FALSE(f.Shape1->Visible());
    EXPECT_FALSE(f.Shape2->Visible());
    EXPECT_TRUE(f.List1.Visible());
    EXPECT_FALSE(f.Text1.Visible());
    EXPECT_FALSE(f.imgGo->Visible());
    EXPECT_TRUE(f.Command4.Visible());

    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, L"Purgebox completed!");
    EXPECT_EQ(Messages()[0].title, L"Purgebox");
    EXPECT_EQ(Messages()[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(CleaningRun, FillFollowsTheFrameWidthAtEachStage) {
    auto& f = form();
    f.Shape1->SetWidthTwips(1000.5f);
    std::vector<float> widths;
    const auto atPumps =
        pb::seams::pumpingPoint.Use([&] { widths.push_back(f.Shape2->WidthTwips()); });
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(widths, (std::vector<float>{
                          static_cast<float>(1000.5 * 0.2), static_cast<float>(1000.5 * 0.4),
                          static_cast<float>(1000.5 * 0.6), static_cast<float>(1000.5 * 0.8)}));
    EXPECT_EQ(f.Shape2->WidthTwips(), 980.5f);
}

TEST_F(CleaningRun, SecondRunReplacesTheFirstLog) {
    auto& f = form();
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(LogLines().size(), 4u);
    EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(CleaningRun, HideLogAtAPumpingPointEmptiesTheLogUnderTheRun) {
    auto& f = form();
    int pumps = 0;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
        if (++pumps == 2)
            SendMessageW(f.Command4.hwnd(), BM_CLICK, 0, 0);
    });
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"     Purgebox is Idle...");
    EXPECT_EQ(lines[1], L"      ");
    EXPECT_TRUE(f.Command4.Visible()); // the run shows it again at its end
}

TEST_F(CleaningRun, NestedRunAtAPumpingPointCompletesBeforeTheOuterOne) {
    auto& f = form();
    int pumps = 0;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
        if (++pumps == 1)
            SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    });
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(Messages().size(), 2u);
    // The outer run goes on writing into the log the nested run left.
    EXPECT_EQ(LogLines().size(), 6u);
    EXPECT_FALSE(f.Shape1->Visible());
}

namespace {
constexpr wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";

// One trace of each kind, for a run with every box ticked.
struct Traces {
    Traces() : temp(L"stagetemp"), tmp(temp.path()) {
        SeedCacheEntry("http://stage.example/");
        RegSetKeyValueW(HKEY_CURRENT_USER, kTypedUrls, L"url1", REG_SZ, L"x", 4);
        SeedVisited("Visited: user@http://stage.example/");
        recent = pb::GetSpecialFolder(CSIDL_RECENT) + L"\\stage.lnk";
        CreateDirectoryW(pb::GetSpecialFolder(CSIDL_RECENT).c_str(), nullptr);
        CloseHandle(
            CreateFileW(recent.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        temp.File(L"stage.tmp");
    }
    ~Traces() { // what a run with fewer boxes left behind
        DeleteFileW(recent.c_str());
        DeleteUrlCacheEntryA("http://stage.example/");
        DeleteUrlCacheEntryA("Visited: user@http://stage.example/");
    }
    Traces(const Traces&) = delete;
    Traces& operator=(const Traces&) = delete;
    // Which kinds are gone, by stage number (1 to 5).
    std::vector<int> Gone() const {
        std::vector<int> gone;
        if (!InCache("http://stage.example/"))
            gone.push_back(1);
        if (!KeyExists(HKEY_CURRENT_USER, kTypedUrls))
            gone.push_back(2);
        if (!InCache("Visited: user@http://stage.example/"))
            gone.push_back(3);
        if (!Exists(recent))
            gone.push_back(4);
        if (!Exists(temp.path() + L"\\stage.tmp"))
            gone.push_back(5);
        return gone;
    }
    ScratchHkcu hkcu;
    ScratchDir temp;
    TempDirOverride tmp;
    std::wstring recent;
};

// A browser window on a thread of its own: notes, when asked to close, what was still there.
class BrowserWindow {
  public:
    explicit BrowserWindow(const Traces& traces) : traces_(traces) {
        thread_ = std::thread([this] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                auto* self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
                if (m == WM_CLOSE && self) {
                    self->closes_.push_back(self->traces_.Gone());
                    return 0; // stays, to be asked again
                }
                return DefWindowProcW(h, m, w, l);
            };
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"PurgeboxTestBrowser";
            RegisterClassW(&wc);
            window_ =
                CreateWindowW(wc.lpszClassName, L"Start - Microsoft Internet Explorer",
                              WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            threadId_ = GetCurrentThreadId();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            DestroyWindow(window_);
        });
        while (!threadId_)
            Sleep(1);
    }
    ~BrowserWindow() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    // What was gone at each request to close.
    std::vector<std::vector<int>> Closes() {
        DWORD_PTR ignored;
        SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored); // all handled
        return closes_;
    }

  private:
    const Traces& traces_;
    std::vector<std::vector<int>> closes_;
    std::atomic<DWORD> threadId_{0};
    HWND window_ = nullptr;
    std::thread thread_;
};

void TickAll(pb::FrmMain& f) {
    for (const auto* c : {&f.Check1, &f.Check2, &f.Check3, &f.Check4, &f.Check5})
        c->SetValue(1);
}
} // namespace

TEST_F(CleaningRun, StagesRunInTheirFixedOrderAndTheBarShowsMeanwhile) {
    Traces traces;
    std::vector<int> order;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
        for (const int stage : traces.Gone())
            if (std::find(order.begin(), order.end(), stage) == order.end())
                order.push_back(stage);
        EXPECT_TRUE(form().Shape1->Visible() && form().Shape2->Visible());
    });
    TickAll(form());
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(CleaningRun, TypedUrlAndHistoryTasksAskTheBrowserToCloseFirstAndWait) {
    Traces traces;
    BrowserWindow browser(traces);
    form().Check2.SetValue(1);
    form().Check4.SetValue(1);
    const DWORD start = GetTickCount();
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_GE(GetTickCount() - start, 400u); // two waits of 200 ms
    // Each task asked before it removed anything: first nothing was gone, then the typed URLs.
    EXPECT_EQ(browser.Closes(), (std::vector<std::vector<int>>{{}, {2}}));
}

TEST_F(CleaningRun, EachBoxTicksShowsItsDescriptionAndRunsOnlyItsOwnTask) {
    using Picture = std::unique_ptr<pb::Graphic> pb::FrmMain::*;
    struct Row {
        pb::CheckBox pb::FrmMain::*box;
        const wchar_t* caption;
        const wchar_t* description; // its start
        Picture picture;
        int stage; // the trace its task removes
    };
    const Row rows[] = {
        {&pb::FrmMain::Check1, L"Temporary Internet Files",
         L"Purgebox will remove all of the IE Temporary", &pb::FrmMain::Image4, 1},
        {&pb::FrmMain::Check2, L"Internet Explorer Typed URLs",
         L"Purgebox will remove all of the URLs", &pb::FrmMain::Image5, 2},
        {&pb::FrmMain::Check3, L"Recent Documents List",
         L"Purgebox will delete the items in your Recent", &pb::FrmMain::Image7, 4},
        {&pb::FrmMain::Check4, L"Internet Explorer History",
         L"Purgebox can clean up and delete your Internet History", &pb::FrmMain::Image6, 3},
        {&pb::FrmMain::Check5, L"Windows Temp Files",
         L"Purgebox will attempt to delete all of the temporary", &pb::FrmMain::Image8, 5},
    };
    auto& f = form();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        const pb::CheckBox& box = f.*row.box;
        EXPECT_EQ(box.Text(), row.caption);
        MouseMove(box.hwnd());
        EXPECT_TRUE(f.Text1.Text().starts_with(row.description));
        EXPECT_EQ(f.imgGo->picture(), (f.*row.picture)->picture());
        Click(box.hwnd());
        EXPECT_EQ(box.Value(), 1);
        const Traces traces;
        SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
        EXPECT_EQ(traces.Gone(), std::vector<int>{row.stage});
        Click(box.hwnd());
        EXPECT_EQ(box.Value(), 0);
        SendMessageW(f.Command4.hwnd(), BM_CLICK, 0, 0); // the descriptions show again
    }
}
