// What the user reads: every caption whole, on the lines it was meant to take, and the option
// picture on top of the description box.
#include "TestSupport.h"
#include "forms/FormFont.h"
#include "forms/Twips.h"
#include "forms/frmAbout.h"
#include "platform/Pump.h"

using namespace pbtest;

namespace {

// The caption's extent in the control's own font, as the control lays it out, against the
// room its client area leaves.
void ExpectCaptionFits(HWND control, const std::string& where) {
    const int length = GetWindowTextLengthW(control);
    if (length == 0)
        return;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    wchar_t cls[32] = {};
    GetClassNameW(control, cls, 32);
    RECT room;
    GetClientRect(control, &room);
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;
    if (lstrcmpiW(cls, L"Button") == 0) {
        const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
        const int dpi = pb::ScreenDpi();
        // A check box's caption follows its box; a button's lies inside its edges.
        room.right -= type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? MulDiv(8, dpi, 96)
                                                                        : MulDiv(13 + 6, dpi, 96);
        format = DT_CALCRECT | DT_SINGLELINE;
    }
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT need{0, 0, room.right, 0};
    DrawTextW(dc, text.c_str(), -1, &need, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    EXPECT_LE(need.right, room.right) << where << testing::PrintToString(text);
    EXPECT_LE(need.bottom, room.bottom) << where << testing::PrintToString(text);
}

void ExpectEveryCaptionFits(HWND form, const std::string& where) {
    for (HWND h = GetWindow(form, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        ExpectCaptionFits(h, where);
}

} // namespace

TEST(Captions, ShowWholeAtEveryDpiWithTheDesignFaceOrAStandIn) {
    // "Comic Neue" stands for the design's face where it is present; the other is nowhere.
    for (const wchar_t* face : {L"Comic Neue", L"Purgebox Missing Face"}) {
        for (const int dpi : {96, 120, 144}) {
            pb::OverrideDesignFace(face);
            pb::OverrideScreenDpi(dpi);
            const std::string where = "at " + std::to_string(dpi) + " dpi, " +
                                      (face[0] == L'C' ? "face present: " : "face missing: ");
            auto main = std::make_unique<pb::FrmMain>();
            main->Load();
            ExpectEveryCaptionFits(main->hwnd(), where);
            ExpectEveryCaptionFits(pb::ShowAbout().hwnd(), where);
            DestroyWindow(pb::ShowAbout().hwnd());
            main.reset();
            Pump();
        }
    }
    pb::OverrideDesignFace(nullptr);
    pb::OverrideScreenDpi(0);
}

TEST_F(MainWindowTest, TheOptionPictureLiesAboveTheDescriptionAndTabKeepsTheDesignOrder) {
    auto& f = form();
    MouseMove(f.Check2.hwnd());
    RECT picture;
    GetWindowRect(f.imgGo->hwnd(), &picture);
    POINT centre{(picture.left + picture.right) / 2, (picture.top + picture.bottom) / 2};
    ScreenToClient(f.hwnd(), &centre);
    EXPECT_EQ(ChildWindowFromPointEx(f.hwnd(), centre, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT),
              f.imgGo->hwnd());
    EXPECT_FALSE(GetWindowLongW(f.Text1.hwnd(), GWL_STYLE) & WS_VSCROLL);

    // Tab from "&Close" goes to the description, then to the picture, as designed.
    SetFocus(f.Command3.hwnd());
    for (const HWND next : {f.Text1.hwnd(), f.imgGo->hwnd()}) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        int looks = 0; // a pump right after another may not look at the queue: wait for it
        pb::WaitPumping(
            nullptr, [&] { return GetFocus() == next || ++looks > 3; }, pb::WaitInput::Handle);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), GetDlgCtrlID(next));
    }
}
