#include "Seams.h"
#include "TestSupport.h"
#include "forms/Twips.h"
#include "forms/frmAbout.h"
#include "module/Site.h"
#include "module/modMain.h"
#include "platform/StartProgram.h"

using namespace pbtest;

namespace {

class Links : public MainWindowTest {
  protected:
    void TearDown() override {
        if (pb::FrmAbout* about = pb::OpenAbout())
            DestroyWindow(about->hwnd());
        MainWindowTest::TearDown();
    }
    std::wstring Explorer() const {
        wchar_t dir[MAX_PATH];
        GetWindowsDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\explorer.exe ";
    }
    std::vector<std::wstring> started;
    std::vector<int> shows;
    DWORD result = 0;
    const decltype(pb::seams::startProgram)::Override starts =
        pb::seams::startProgram.Use([this](const std::wstring& line, int show) {
            started.push_back(line);
            shows.push_back(show);
            return result;
        });
};

} // namespace

TEST_F(Links, BannerIsHostedAndSentToTheBannerPageOnce) {
    EXPECT_EQ(form().bannerAddress, std::wstring(pb::kMakerSite) + L"/purgebox/header.htm");
    ASSERT_NE(form().WebBrowser1.hwnd(), nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(form().WebBrowser1.hwnd(), cls, 32);
    EXPECT_STREQ(cls, L"AtlAxWin");
    EXPECT_EQ(form().bannerResult, S_OK);
}

TEST_F(Links, LinksAndTheTrayItemStartExplorerWithThePage) {
    Click(form().Label1[0]->hwnd());
    Click(form().Label1[1]->hwnd());
    form().mnuWeb_Click();
    const std::wstring site = pb::kMakerSite;
    EXPECT_EQ(started, (std::vector<std::wstring>{Explorer() + site + L"/purgebox/",
                                                  Explorer() + site + L"/",
                                                  Explorer() + site + L"/purgebox/"}));
    EXPECT_EQ(shows, (std::vector<int>{SW_SHOWMINIMIZED, SW_SHOWMINIMIZED, SW_SHOWMINIMIZED}));
    EXPECT_EQ(pb::GetWindowsDir() + L"\\explorer.exe ", Explorer());
}

TEST_F(Links, APageThatCannotBeOpenedIsReportedAndTheProgramGoesOn) {
    result = ERROR_FILE_NOT_FOUND;
    Click(form().Label1[0]->hwnd());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"/purgebox/"), std::wstring::npos);
    EXPECT_NE(Messages()[0].text.find(L"error 2"), std::wstring::npos);
    EXPECT_EQ(ProgramEnds(), 0);
}

TEST_F(Links, CaptionsDecideAndAnUnknownCaptionDoesNothing) {
    form().Label1[1]->SetText(L"BRIGHTWATERSOFT.EXAMPLE");
    Click(form().Label1[1]->hwnd());
    EXPECT_EQ(started.size(), 1u);
    form().Label1[0]->SetText(L"Nothing at all");
    Click(form().Label1[0]->hwnd());
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(pb::OpenAbout(), nullptr);
}

TEST_F(Links, AboutBoxIsOneAtATimeAndFreshAfterClosing) {
    Click(form().Label1[2]->hwnd());
    pb::FrmAbout* about = pb::OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->Text(), L"About Purgebox...");
    EXPECT_TRUE(IsWindowVisible(about->hwnd()));
    EXPECT_EQ(GetWindow(about->hwnd(), GW_OWNER), nullptr);
    EXPECT_TRUE(about->Label1->Text().starts_with(L"Version 1.0 Beta"));
    EXPECT_EQ(about->Label3->Text(), std::wstring(L" Email us at ") + pb::kMakerEmail);
    EXPECT_EQ(about->Command1.Text(), L"&Close");
    RECT rc;
    GetClientRect(about->hwnd(), &rc);
    EXPECT_EQ(rc.right, pb::TwipsToPixels(4680));
    EXPECT_EQ(rc.bottom, pb::TwipsToPixels(5310));
    const HWND first = about->hwnd();

    Click(form().Label1[2]->hwnd());
    EXPECT_EQ(pb::OpenAbout()->hwnd(), first);

    SendMessageW(about->Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(pb::OpenAbout(), nullptr);
    EXPECT_FALSE(IsWindow(first));
    Click(form().Label1[2]->hwnd());
    ASSERT_NE(pb::OpenAbout(), nullptr);
    EXPECT_TRUE(IsWindowVisible(pb::OpenAbout()->hwnd()));
}
