#include "TestSupport.h"
#include "platform/Pump.h"

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
    pb::SetPumpHook([&] { widths.push_back(f.Shape2->WidthTwips()); });
    MouseMove(f.Check2.hwnd()); // description mode before the run
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    pb::SetPumpHook({});

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
    pb::SetPumpHook([&] { widths.push_back(f.Shape2->WidthTwips()); });
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
    pb::SetPumpHook([&] {
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
    pb::SetPumpHook([&] {
        if (++pumps == 1)
            SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    });
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(Messages().size(), 2u);
    // The outer run goes on writing into the log the nested run left.
    EXPECT_EQ(LogLines().size(), 6u);
    EXPECT_FALSE(f.Shape1->Visible());
}
