#pragma once
#include "forms/Controls.h"
#include "forms/Form.h"
#include "forms/frmMainIds.h"
#include <array>
#include <memory>
#include <string>

namespace pb {

// The program's one main window: options, the log, the run, and the tray life around them.
class FrmMain : public Form {
  public:
    FrmMain();
    ~FrmMain() override;

    // Creates the window and every control, then raises Form_Load. Does not show it.
    void Load();
    void Show();

    // Event handlers.
    void Form_Load();
    void Form_Resize();
    void Form_Unload(int& Cancel);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Check_MouseMove(size_t Index); // Check1 to Check5, as the options' rows
    void Label1_MouseMove(int index);
    void Label1_Click(int Index);
    void Form_MouseMove();
    void Image1_MouseMove();
    void Image9_MouseMove();
    void Picture1_MouseMove(LPARAM trayMessage);
    void mnuClean_Click();
    void mnuOpen_Click();
    void mnuClose_Click();
    void mnuWeb_Click();

    // Controls, under their form names.
    CheckBox Check1, Check2, Check3, Check4, Check5;
    WindowRef Command1, Command2, Command3, Command4;
    ListBox List1;
    WindowRef Text1;
    ListBox File1;
    WindowRef WebBrowser1; // empty where the system has no browser control
    std::unique_ptr<Graphic> imgGo, Image1, Image2, Image3, Image4, Image5, Image6, Image7, Image8,
        Image9, Shape1, Shape2, Line1, Label2, Picture1;
    std::array<std::unique_ptr<Graphic>, 3> Label1;

    // The address the banner was sent to, and the control's answer.
    std::wstring bannerAddress;
    HRESULT bannerResult = E_PENDING;

    static constexpr const wchar_t* kCaption = L"Purgebox";

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool StartsSomething(UINT msg, WPARAM wp, LPARAM lp) const override;
    // What the tray icon's mouse message does now, for the gate and the handler alike.
    enum class TrayAnswer { Nothing, BoxToFront, Menu };
    static TrayAnswer TrayAnswerTo(LPARAM trayMessage);
    void CreateControls();
    void OnCommand(int id, int code);
    void OnChildMouseMove(int id, LPARAM lp);
    void ShowOptionDescription(const Graphic& source, const wchar_t* description);
    void ShowTrayMenu();

    UniqueIcon decorIcon_;
    std::array<UniqueBitmap, 8> bitmaps_;
    UINT taskbarCreated_ = 0;
};

// The program's one main window, wherever it is needed (the log writes to it).
FrmMain& MainForm();

} // namespace pb
