#include "TestSupport.h"
#include "forms/Twips.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace pbtest;

namespace {

RECT ClientRectIn(HWND parent, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring ClassOf(HWND h) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    return name;
}

} // namespace

using MainWindow = MainWindowTest;

TEST_F(MainWindow, StartsIdleInDescriptionModeWithEveryControlInPlace) {
    auto& f = form();
    EXPECT_EQ(f.Text(), L"Purgebox");
    EXPECT_EQ(LogLines(), std::vector<std::wstring>{L"     Purgebox is Idle..."});
    EXPECT_EQ(f.Label2->Text(), L"Purgebox is Idle...");
    EXPECT_FALSE(f.List1.Visible());
    EXPECT_FALSE(f.Text1.Visible());
    EXPECT_TRUE(f.imgGo->Visible());
    EXPECT_TRUE(f.imgGo->picture().Empty());
    EXPECT_FALSE(f.Command4.Visible());
    EXPECT_FALSE(f.Shape1->Visible());
    EXPECT_FALSE(f.Shape2->Visible());
    EXPECT_FALSE(f.File1.Visible());
    EXPECT_FALSE(f.Picture1->Visible());
    EXPECT_TRUE(pb::gQuitOnUnload);
    for (const auto* c : {&f.Check1, &f.Check2, &f.Check3, &f.Check4, &f.Check5})
        EXPECT_EQ(c->Value(), 0);
    EXPECT_EQ(f.Command1.Text(), L"Clear Now!");
    EXPECT_EQ(f.Command2.Text(), L"Select &All");
    EXPECT_EQ(f.Command3.Text(), L"&Close");
    EXPECT_EQ(f.Command4.Text(), L"&Hide Log");
    EXPECT_EQ(f.Check4.Text(), L"Internet Explorer History");
    EXPECT_EQ(f.Label1[0]->Text(), L"Purgebox Website");
    EXPECT_EQ(f.Label1[2]->Text(), L"About");

    // Fixed border, close box only, and the designed client area at the screen's
    // DPI.
    const LONG style = GetWindowLongW(f.hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(style & WS_SYSMENU);
    RECT client;
    GetClientRect(f.hwnd(), &client);
    EXPECT_EQ(client.right, pb::TwipsToPixels(7800));
    EXPECT_EQ(client.bottom, pb::TwipsToPixels(6855));

    const RECT list = ClientRectIn(f.hwnd(), f.List1.hwnd());
    const RECT expected = pb::TwipRect{4320, 2160, 3375, 2760}.ToPixels();
    EXPECT_EQ(list.left, expected.left);
    EXPECT_EQ(list.top, expected.top);
    EXPECT_EQ(list.right, expected.right);
    EXPECT_EQ(list.bottom, expected.bottom);
    EXPECT_EQ(ClassOf(f.Check3.hwnd()), L"Button");
}

TEST_F(MainWindow, TabOrderFollowsTheDesign) {
    auto& f = form();
    const std::vector<HWND> expected{f.Check1.hwnd(),   f.Check2.hwnd(),   f.Check3.hwnd(),
                                     f.Check4.hwnd(),   f.Check5.hwnd(),   f.Command1.hwnd(),
                                     f.Command2.hwnd(), f.Command3.hwnd(), f.imgGo->hwnd()};
    std::vector<HWND> order;
    HWND h = expected.front();
    for (size_t i = 0; i < expected.size(); ++i) {
        order.push_back(h);
        h = GetNextDlgTabItem(f.hwnd(), h, FALSE);
    }
    EXPECT_EQ(order, expected);
}

TEST_F(MainWindow, OptionDescriptionsShowOnlyWhileNoRunLogIsOnDisplay) {
    auto& f = form();
    MouseMove(f.Check3.hwnd());
    EXPECT_TRUE(f.Text1.Visible());
    EXPECT_FALSE(f.List1.Visible());
    EXPECT_EQ(f.Text1.Text(), L"Purgebox will delete the items in your Recent Documents Folder. To "
                              L"view these shortcuts, click on Start > Documents.");
    EXPECT_EQ(f.imgGo->picture(), f.Image7->picture());
    MouseMove(f.Check4.hwnd());
    EXPECT_EQ(f.imgGo->picture(), f.Image6->picture());
    EXPECT_TRUE(f.Text1.Text().starts_with(L"Purgebox can clean up and delete your Internet "));

    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    MouseMove(f.Check1.hwnd());
    EXPECT_TRUE(f.List1.Visible());
    EXPECT_FALSE(f.Text1.Visible());

    f.Check2.SetValue(1);
    SendMessageW(f.Command4.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(LogLines(), std::vector<std::wstring>{L"     Purgebox is Idle..."});
    EXPECT_FALSE(f.List1.Visible());
    EXPECT_FALSE(f.Text1.Visible());
    EXPECT_TRUE(f.imgGo->Visible());
    EXPECT_TRUE(f.imgGo->picture().Empty());
    EXPECT_FALSE(f.Command4.Visible());
    EXPECT_EQ(f.Check2.Value(), 1); // "&Hide Log" leaves the boxes as they are

    MouseMove(f.Check1.hwnd());
    EXPECT_TRUE(f.Text1.Visible());
    EXPECT_EQ(f.imgGo->picture(), f.Image4->picture());
}

TEST_F(MainWindow, SelectAllTogglesEveryBoxWhateverTheirStateInBetween) {
    auto& f = form();
    const std::vector<const pb::CheckBox*> boxes{&f.Check1, &f.Check2, &f.Check3, &f.Check4,
                                                 &f.Check5};
    SendMessageW(f.Command2.hwnd(), BM_CLICK, 0, 0);
    for (auto* c : boxes)
        EXPECT_EQ(c->Value(), 1);
    EXPECT_EQ(f.Command2.Text(), L"Deselect &All");

    SendMessageW(f.Check3.hwnd(), BM_CLICK, 0, 0); // unticked by hand
    EXPECT_EQ(f.Check3.Value(), 0);
    EXPECT_EQ(f.Command2.Text(), L"Deselect &All");
    SendMessageW(f.Command2.hwnd(), BM_CLICK, 0, 0);
    for (auto* c : boxes)
        EXPECT_EQ(c->Value(), 0);
    EXPECT_EQ(f.Command2.Text(), L"Select &All");

    f.Command2.SetText(L"Nothing");
    SendMessageW(f.Command2.hwnd(), BM_CLICK, 0, 0);
    for (auto* c : boxes)
        EXPECT_EQ(c->Value(), 0);
}

namespace {
// What a control draws, dot by dot, as it paints itself for a magnifier.
std::vector<std::uint32_t> Drawn(HWND control) {
    RECT rc;
    GetClientRect(control, &rc);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const pb::UniqueDC dc(CreateCompatibleDC(nullptr));
    const pb::UniqueBitmap dib(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    const HGDIOBJ old = SelectObject(dc.get(), dib.get());
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    const auto* dot = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> dots(dot, dot + rc.right * rc.bottom);
    SelectObject(dc.get(), old);
    for (auto& d : dots)
        d &= 0xFFFFFF;
    return dots;
}
int WhiteDots(const std::vector<std::uint32_t>& dots) {
    return static_cast<int>(std::count(dots.begin(), dots.end(), 0xFFFFFFu));
}
} // namespace

TEST_F(MainWindow, LinksLightUpUnderThePointerAndResetOverTheStrip) {
    auto& f = form();
    // At rest as drawn at the start (black); lit: drawn in white, more white than at rest.
    std::array<std::vector<std::uint32_t>, 3> atRest;
    for (size_t i = 0; i < atRest.size(); ++i) {
        atRest[i] = Drawn(f.Label1[i]->hwnd());
        ASSERT_GT(std::count(atRest[i].begin(), atRest[i].end(), 0u), 0) << "premise: text drawn";
    }
    enum State { Rest, Lit };
    const auto is = [&](size_t i, State state) {
        const auto now = Drawn(f.Label1[i]->hwnd());
        return state == Rest ? now == atRest[i] : WhiteDots(now) > WhiteDots(atRest[i]);
    };
    MouseMove(f.Label1[0]->hwnd());
    EXPECT_TRUE(is(0, Lit));
    MouseMove(f.Image9->hwnd());
    MouseMove(f.Label1[1]->hwnd());
    EXPECT_TRUE(is(0, Rest));
    EXPECT_TRUE(is(1, Lit));
    EXPECT_TRUE(is(2, Rest));
    MouseMove(f.Image1->hwnd());
    EXPECT_TRUE(is(1, Rest));
    MouseMove(f.Label1[2]->hwnd());
    EXPECT_TRUE(is(2, Lit));
    SendMessageW(f.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(is(2, Rest));
}

TEST_F(MainWindow, AddLogIndentsTheLogButNotTheStatusLine) {
    auto& f = form();
    pb::AddLog(L"");
    EXPECT_EQ(f.Label2->Text(), L"");
    pb::AddLog(L" ");
    pb::AddLog(L"  two");
    EXPECT_EQ(f.Label2->Text(), L"  two");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], L"     ");
    EXPECT_EQ(lines[2], L"      ");
    EXPECT_EQ(lines[3], L"       two");
}
