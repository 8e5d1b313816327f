// What the user reads: every caption whole, on the lines it was meant to take, and the option
// picture on top of the description box.
#include "Seams.h"
#include "TestSupport.h"
#include "forms/FormFont.h"
#include "forms/Twips.h"
#include "forms/frmAbout.h"
#include "platform/Text.h"
#include "platform/Waits.h"
#include <cstdio>

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

// The description box is not scrolled, and its last line ends above the option picture and
// inside the box's text area, which keeps within the box.
void ExpectDescriptionShowsWhole(const pb::FrmMain& f, const std::string& where) {
    const HWND box = f.Text1.hwnd();
    const std::wstring text = f.Text1.Text();
    ASSERT_TRUE(f.Text1.Visible() && !text.empty()) << where;
    const std::string what = where + pb::Narrow(text.substr(0, 40)) + "...: ";
    EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << what;
    const LRESULT last = SendMessageW(box, EM_POSFROMCHAR, text.size() - 1, 0);
    const int lastLineTop = static_cast<short>(HIWORD(last));
    TEXTMETRICW tm{};
    const HDC dc = GetDC(box);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    RECT area, client, picture;
    SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    GetClientRect(box, &client);
    GetWindowRect(f.imgGo->hwnd(), &picture);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&picture), 2);
    EXPECT_LE(lastLineTop + tm.tmHeight, area.bottom) << what;
    EXPECT_LE(lastLineTop + tm.tmHeight, picture.top) << what;
    EXPECT_GE(area.left, client.left) << what;
    EXPECT_LE(area.right, client.right) << what;
}

// The face a control's font draws with.
std::wstring FaceDrawn(HWND control) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return face;
}

// Whether the face a case offers must be the one drawn.
enum class Taken { MaybeNot, AtDesignSize, AtAnySize };

// Loads both windows with the face chosen as the program chooses it at 96, 120 and 144 dpi.
void ExpectEverythingShowsWholeAtEveryDpi(const std::string& faceCase, const wchar_t* tried,
                                          Taken taken) {
    for (const int dpi : {96, 120, 144}) {
        const auto atDpi = pb::seams::screenDpi.Use([dpi] { return dpi; });
        auto main = std::make_unique<pb::FrmMain>();
        main->Load();
        const std::wstring drawn = FaceDrawn(main->Check1.hwnd());
        const std::string where = faceCase + " at " + std::to_string(dpi) + " dpi, drawn with " +
                                  pb::Narrow(drawn) + ": ";
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(main->Check1.hwnd(), WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        if (taken != Taken::MaybeNot) {
            EXPECT_EQ(drawn, tried) << where;
        }
        if (taken == Taken::AtDesignSize) {
            EXPECT_GE(-font.lfHeight, MulDiv(800, dpi, 7200)) << where;
        }
        if (taken == Taken::MaybeNot && tried && drawn != tried) {
            std::printf("  %s at %d dpi: refused, drawn with %s at %ld pixels\n",
                        pb::Narrow(tried).c_str(), dpi, pb::Narrow(drawn).c_str(), -font.lfHeight);
        }
        ExpectEveryCaptionFits(main->hwnd(), where);
        for (const pb::CheckBox* box :
             {&main->Check1, &main->Check2, &main->Check3, &main->Check4, &main->Check5}) {
            SendMessageW(box->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            ExpectDescriptionShowsWhole(*main, where);
        }
        ExpectEveryCaptionFits(pb::ShowAbout().hwnd(), where);
        DestroyWindow(pb::ShowAbout().hwnd());
        main.reset();
        Pump();
    }
}

constexpr wchar_t kMissingFace[] = L"Purgebox Missing Face";

using Faces = ::testing::Test;

} // namespace

TEST_F(Faces, TheDesignFaceIsKeptAndEverythingShowsWhole) {
    // "Comic Neue" stands for the design's face, which is not installed here.
    const auto present = pb::seams::designFace.Use([] { return L"Comic Neue"; });
    ExpectEverythingShowsWholeAtEveryDpi("design face present", L"Comic Neue", Taken::AtDesignSize);
    // So does a face wider than any stand-in, as the design's is: it is made a little smaller
    // rather than given up for a stand-in.
    const auto wide = pb::seams::designFace.Use([] { return L"Liberation Sans"; });
    ExpectEverythingShowsWholeAtEveryDpi("wide design face present", L"Liberation Sans",
                                         Taken::AtAnySize);
}

TEST_F(Faces, EveryStandInThatIsTakenShowsEverythingWhole) {
    const auto missing = pb::seams::designFace.Use([] { return kMissingFace; });
    for (const wchar_t* face : pb::StandInFaces()) {
        const std::string name = pb::Narrow(face);
        if (!pb::FaceInstalled(face)) {
            std::printf("  %s is not installed here: not checked\n", name.c_str());
            continue;
        }
        const auto alone =
            pb::seams::standInFaces.Use([face] { return std::vector<const wchar_t*>{face}; });
        ExpectEverythingShowsWholeAtEveryDpi("stand-in " + name + " alone", face, Taken::MaybeNot);
    }
    // The list as it is: the face most like the design's is not given up at any DPI.
    ExpectEverythingShowsWholeAtEveryDpi("design face missing", L"Comic Neue", Taken::AtDesignSize);
}

TEST_F(Faces, TheLastFallbackShowsEverythingWhole) {
    const auto missing = pb::seams::designFace.Use([] { return kMissingFace; });
    const auto none = pb::seams::standInFaces.Use([] { return std::vector<const wchar_t*>{}; });
    ExpectEverythingShowsWholeAtEveryDpi("no stand-in", nullptr, Taken::MaybeNot);
    // A face too wide for the boxes at 8 points, whether the design's or the mapper's pick, is
    // kept and made smaller.
    const auto tooWide = pb::seams::designFace.Use([] { return L"DejaVu Sans"; });
    ExpectEverythingShowsWholeAtEveryDpi("too wide, no stand-in", L"DejaVu Sans", Taken::AtAnySize);
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
        int looks = 0; // until the focus moves; about four seconds on a machine that never lets it
        pb::WaitPumping(
            nullptr, [&] { return GetFocus() == next || ++looks > 100; }, pb::WaitInput::All);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), GetDlgCtrlID(next));
    }
}
