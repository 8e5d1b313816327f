// Enter and Escape as a user presses them: posted to the focused window and taken by the
// program's own message dispatch, where the dialog manager's keyboard handling runs.
#include "TestSupport.h"
#include "forms/frmAbout.h"
#include "platform/Waits.h"
#include <functional>

using namespace pbtest;

namespace {

void PressKey(WPARAM key, const std::function<bool()>& done) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    int looks = 0; // a pump right after another may not look at the queue: wait for it
    pb::WaitPumping(
        nullptr, [&] { return done() || ++looks > 5; }, pb::WaitInput::All);
}

bool LooksDefault(const pb::WindowRef& button) {
    return (GetWindowLongW(button.hwnd(), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

} // namespace

TEST_F(MainWindowTest, EnterPressesTheFocusedButtonWhichAloneLooksDefault) {
    auto& f = form();
    // The window has no default button: Enter elsewhere must not start a run or hide it.
    for (const pb::WindowRef* b : {&f.Command1, &f.Command2, &f.Command3})
        EXPECT_FALSE(LooksDefault(*b));

    SetFocus(f.Command2.hwnd());
    EXPECT_TRUE(LooksDefault(f.Command2));
    PressKey(VK_RETURN, [&] { return f.Check5.Value() == 1; });
    for (const pb::CheckBox* c : {&f.Check1, &f.Check2, &f.Check3, &f.Check4, &f.Check5})
        EXPECT_EQ(c->Value(), 1);
    EXPECT_EQ(f.Command2.Text(), L"Deselect &All");

    // Tab goes on to "&Close" (the log is hidden), which takes the look.
    PressKey(VK_TAB, [&] { return GetFocus() == f.Command3.hwnd(); });
    ASSERT_EQ(GetFocus(), f.Command3.hwnd());
    EXPECT_TRUE(LooksDefault(f.Command3));
    EXPECT_FALSE(LooksDefault(f.Command2));

    SetFocus(f.Check5.hwnd());
    for (const pb::WindowRef* b : {&f.Command1, &f.Command2, &f.Command3})
        EXPECT_FALSE(LooksDefault(*b));
    PressKey(VK_RETURN, [] { return false; });
    EXPECT_EQ(f.Check5.Value(), 1);
    EXPECT_EQ(LogLines(), std::vector<std::wstring>{L"     Purgebox is Idle..."});
    EXPECT_TRUE(IsWindowVisible(f.hwnd()));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainWindowTest, EnterAndEscapeCloseTheAboutBoxWhereverTheFocusIs) {
    struct Case {
        const char* what;
        WPARAM key;
        bool onClose;
    };
    for (const Case& c :
         {Case{"Enter, the box itself focused", VK_RETURN, false},
          Case{"Enter, \"&Close\" focused", VK_RETURN, true}, Case{"Escape", VK_ESCAPE, false}}) {
        pb::FrmAbout& about = pb::ShowAbout();
        const HWND box = about.hwnd();
        SetFocus(c.onClose ? about.Command1.hwnd() : box);
        EXPECT_TRUE(LooksDefault(about.Command1)) << c.what;
        PressKey(c.key, [] { return pb::OpenAbout() == nullptr; });
        EXPECT_FALSE(IsWindow(box)) << c.what;
        if (pb::OpenAbout())
            DestroyWindow(pb::OpenAbout()->hwnd());
    }
}

TEST_F(MainWindowTest, TheFocusStaysWithTheWindowsControlsAndEscapeNeverEndsTheProgram) {
    auto& f = form();
    // Back from the About box, the focus is where the user left it.
    SetFocus(f.Command2.hwnd());
    const HWND about = pb::ShowAbout().hwnd();
    PressKey(VK_ESCAPE, [] { return pb::OpenAbout() == nullptr; });
    ASSERT_FALSE(IsWindow(about));
    SetActiveWindow(f.hwnd());
    EXPECT_EQ(GetFocus(), f.Command2.hwnd());

    // Escape in the description box: a multi-line box would close the window, and with it the
    // program.
    SendMessageW(f.Check5.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(IsWindowVisible(f.Text1.hwnd()));
    SetFocus(f.Text1.hwnd());
    PressKey(VK_ESCAPE, [] { return false; });
    EXPECT_EQ(ProgramEnds(), 0);
    EXPECT_TRUE(IsWindowVisible(f.hwnd()));

    // "&Hide Log" pressed with Enter hides itself: the focus goes on, not to nowhere.
    SendMessageW(f.Command1.hwnd(), BM_CLICK, 0, 0);
    SetFocus(f.Command4.hwnd());
    PressKey(VK_RETURN, [&] { return !IsWindowVisible(f.Command4.hwnd()); });
    EXPECT_FALSE(IsWindowVisible(f.Command4.hwnd()));
    EXPECT_TRUE(IsChild(f.hwnd(), GetFocus()) && IsWindowVisible(GetFocus()));
}
