#include "Seams.h"
#include "TestSupport.h"
#include "module/BrowserWindows.h"
#include "module/modMain.h"
#include "platform/Pump.h"

using namespace pbtest;

namespace {

HWND TopLevel(const wchar_t* title, const wchar_t* cls = L"STATIC") {
    return CreateWindowExW(0, cls, title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Counts the requests to close in its user data and stays open, so that a second request
// would show.
LRESULT CALLBACK CountCloses(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CLOSE) {
        SetWindowLongPtrW(h, GWLP_USERDATA, GetWindowLongPtrW(h, GWLP_USERDATA) + 1);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

// A top-level window of this class that counts its requests to close.
HWND Counting(const wchar_t* cls, const wchar_t* title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CountCloses;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc); // fails harmlessly when an earlier call registered it
    return TopLevel(title, cls);
}

LONG_PTR Closes(HWND h) {
    return GetWindowLongPtrW(h, GWLP_USERDATA);
}

} // namespace

TEST(BrowserWindowCloser, ClosesEveryWindowWhoseTitleHoldsThePhraseInAnyCase) {
    HWND page = TopLevel(L"Page - MICROSOFT INTERNET EXPLORER");
    HWND lower = TopLevel(L"microsoft internet explorer");
    HWND editor = TopLevel(L"Notes about Microsoft Internet Explorer.txt - Editor");
    HWND shortName = TopLevel(L"Internet Explorer");
    HWND untitled = TopLevel(L"");
    pb::CloseBrowserWindows();
    Pump();
    EXPECT_FALSE(IsWindow(page));
    EXPECT_FALSE(IsWindow(lower));
    EXPECT_FALSE(IsWindow(editor)); // the test is on the title alone
    EXPECT_TRUE(IsWindow(shortName));
    EXPECT_TRUE(IsWindow(untitled));
    DestroyWindow(shortName);
    DestroyWindow(untitled);
}

TEST(BrowserWindowCloser, AsksEveryBrowserFrameToCloseOnceWhateverItsTitle) {
    const std::vector<HWND> frames{
        Counting(L"IEFrame", L"Wine Internet Explorer"),
        Counting(L"IEFrame", L"Start - Windows Internet Explorer"),
        Counting(L"IEFrame", L"Start - Internet Explorer"),
        Counting(L"IEFrame", L""),
        Counting(L"IEFrame", L"Start - Microsoft Internet Explorer"), // both signs: still once
    };
    // A shell window showing a page: the phrase, but another class.
    HWND shellPage = Counting(L"ExploreWClass", L"Start - Microsoft Internet Explorer");
    HWND lookalike = Counting(L"IEFrameTool", L"Favorites");
    pb::CloseBrowserWindows();
    Pump();
    for (HWND h : frames) {
        EXPECT_EQ(Closes(h), 1);
        DestroyWindow(h);
    }
    EXPECT_EQ(Closes(shellPage), 1);
    EXPECT_EQ(Closes(lookalike), 0);
    DestroyWindow(shellPage);
    DestroyWindow(lookalike);
}

TEST(BrowserWindowCloser, FindsTheBrowserBehindHundredsOfOtherWindows) {
    std::vector<HWND> others;
    for (int i = 0; i < 1000; ++i)
        others.push_back(TopLevel((L"Window " + std::to_wstring(i)).c_str()));
    const std::wstring longTitle(40000, L'x');
    HWND longOne = TopLevel((longTitle + L" - Microsoft Internet Explorer").c_str());
    HWND browser = TopLevel(L"Start - Microsoft Internet Explorer");
    HWND upper = TopLevel(L"NEWS - MICROSOFT INTERNET EXPLORER");
    HWND mixed = TopLevel(L"mail - microsoft INTERNET explorer");
    pb::CloseBrowserWindows();
    EXPECT_GE(pb::gWindowCount, 1004u);
    Pump();
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_FALSE(IsWindow(upper));
    EXPECT_FALSE(IsWindow(mixed));
    EXPECT_FALSE(IsWindow(longOne));
    for (HWND h : others) {
        EXPECT_TRUE(IsWindow(h));
        DestroyWindow(h);
    }
    // A second call lists afresh: nothing is left to close, and the count matches
    // the desktop.
    const size_t before = pb::gWindowCount;
    pb::CloseBrowserWindows();
    EXPECT_LT(pb::gWindowCount, before);
}

class TypedUrls : public MainWindowTest {
  protected:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
    static constexpr const wchar_t* kParent = L"Software\\Microsoft\\Internet Explorer";
    static void SetValue(const wchar_t* key, const wchar_t* name, const wchar_t* data) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, data,
                        static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    }
    std::wstring LastLine() const { return LogLines().back(); }
    ScratchHkcu hkcu_;
};

TEST_F(TypedUrls, DeletesOnlyTheTypedUrlsKeyAndLogsDone) {
    SetValue(kKey, L"url1", L"http://one.example/");
    SetValue(kKey, L"url2", L"http://two.example/");
    SetValue(L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page", L"about:blank");
    SetValue(kParent, L"Keep", L"yes");
    pb::ClearTypedUrls();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Main"));
    wchar_t data[16];
    DWORD size = sizeof data;
    EXPECT_EQ(
        RegGetValueW(HKEY_CURRENT_USER, kParent, L"Keep", RRF_RT_REG_SZ, nullptr, data, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(LastLine(), L"       Clearing Typed URLs...Done");
    EXPECT_EQ(form().Label2->Text(), L"  Clearing Typed URLs...Done");

    // Already absent: nothing to do, and that is still done.
    pb::ClearTypedUrls();
    EXPECT_EQ(LastLine(), L"       Clearing Typed URLs...Done");
}

TEST_F(TypedUrls, AKeyThatCannotBeDeletedIsReportedAsAFailure) {
    SetValue(L"Software\\Microsoft\\Internet Explorer\\TypedURLs\\Sub", L"x", L"y");
    pb::ClearTypedUrls();
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(LastLine().starts_with(L"       Clearing Typed URLs...Failed, error "))
        << LastLine();
    EXPECT_NE(LastLine(), L"       Clearing Typed URLs...Failed, error 0");
}

TEST_F(TypedUrls, RunReadsEachBoxWhenItsStageComes) {
    auto& f = form();
    int pumps = 0;
    auto tick = pb::seams::pumpingPoint.Use([&] {
        if (++pumps == 1) {
            f.Check2.SetValue(1); // ticked after stage 1: its stage is still to come
        }
    });
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], L"       Clearing Typed URLs...Done");

    // A greyed box does not count as ticked.
    tick.End();
    f.Check2.SetValue(2);
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(LogLines().size(), 4u);
}
