#pragma once
#include "forms/Controls.h"
#include "forms/Graphic.h"
#include "platform/Handles.h"
#include <array>
#include <memory>

namespace pb {

// The program's one main window: options, the log, the run, and the tray life
// around them.
class FrmMain : public Window, public Backdrop {
  public:
    FrmMain();
    ~FrmMain() override;

    // Creates the window and every control, then raises Form_Load. Does not show
    // it.
    void Load();
    void Show();

    // Event handlers.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Check1_MouseMove();
    void Check2_MouseMove();
    void Check3_MouseMove();
    void Check4_MouseMove();
    void Check5_MouseMove();
    void Label1_MouseMove(int index);
    void Form_MouseMove();
    void Image1_MouseMove();
    void Image9_MouseMove();

    // Controls, under their form names.
    CheckBox Check1, Check2, Check3, Check4, Check5;
    WindowRef Command1, Command2, Command3, Command4;
    ListBox List1;
    WindowRef Text1;
    ListBox File1;
    std::unique_ptr<Graphic> imgGo, Image1, Image2, Image3, Image4, Image5, Image6, Image7, Image8,
        Image9, Shape1, Shape2, Line1, Label2, Picture1;
    std::array<std::unique_ptr<Graphic>, 3> Label1;

    static constexpr const wchar_t* kCaption = L"Purgebox";

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void PaintBackdrop(HDC dc, const RECT& rcInForm, const Graphic* above) override;
    void CreateControls();
    void OnCommand(int id, int code);
    void OnChildMouseMove(int id);
    void ShowOptionDescription(const Graphic& source, const wchar_t* description);
    std::unique_ptr<Graphic> MakeGraphic(Graphic::Kind kind, int id, const wchar_t* text,
                                         const TwipRect& rc, bool visible);
    void ToggleCheck(const CheckBox& box);

    UniqueFont font_;
    UniqueBrush white_;
    UniqueIcon icon_, smallIcon_, decorIcon_;
    std::array<UniqueBitmap, 8> bitmaps_;
};

// The program's one main window, wherever it is needed (the log writes to it).
FrmMain& MainForm();

} // namespace pb
