#include "forms/frmMain.h"
#include "Seams.h"
#include "history/HistoryCleanser.h"
#include "forms/Banner.h"
#include "forms/Options.h"
#include "forms/frmAbout.h"
#include "module/Site.h"
#include "module/Explorer.h"
#include "module/Log.h"
#include "module/Tasks.h"
#include "module/Tray.h"
#include "platform/Errors.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "forms/KeyboardNavigation.h"
#include "platform/HeldMessages.h"
#include "platform/Pump.h"
#include "platform/WindowMessages.h"
#include "resources/resource.h"
#include <algorithm>
#include <stdexcept>

namespace pb {

namespace {

constexpr wchar_t kClassName[] = L"PurgeboxMain";
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

FrmMain* gMainForm = nullptr;

std::wstring TimeOfDay() {
    wchar_t buf[80] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buf, 80);
    return buf;
}

} // namespace

FrmMain& MainForm() {
    if (!gMainForm)
        throw std::logic_error("the main window is not loaded");
    return *gMainForm;
}

FrmMain::FrmMain() {
    gMainForm = this;
}

FrmMain::~FrmMain() {
    // However the program leaves its loop: no icon stays behind, and the history's COM objects
    // go while COM still runs.
    DeleteTrayIcon();
    gCleanser.reset();
    if (hwnd_) {
        UnregisterDialogNavigation(hwnd_);
        DestroyWindow(hwnd_);
    }
    SetMessageBoxOwner(nullptr);
    if (gMainForm == this)
        gMainForm = nullptr;
}

void FrmMain::Load() {
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    decorIcon_.reset(
        static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_DECOR), IMAGE_ICON, 32, 32, 0)));
    constexpr std::array<int, 8> ids{IDB_HEADER,  IDB_TITLE,   IDB_OPTION1, IDB_OPTION2,
                                     IDB_OPTION3, IDB_OPTION4, IDB_OPTION5, IDB_STRIP};
    for (size_t i = 0; i < ids.size(); ++i)
        bitmaps_[i].reset(static_cast<HBITMAP>(
            LoadImageW(inst, MAKEINTRESOURCEW(ids[i]), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    SetFatalCleanup(&DeleteTrayIcon); // an error that ends the program leaves no icon behind
    CreateForm(kClassName, kCaption, 7800, 6855, IDI_APP);
    // Run elevated, the window would not hear of a new shell otherwise: its icon would be lost.
    if (taskbarCreated_)
        ChangeWindowMessageFilterEx(hwnd_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
    SetMessageBoxOwner(hwnd_);
    CreateControls();
    Form_Load();
}

void FrmMain::Show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
}

// --- Event handlers -------------------------------------------------------------------------

void FrmMain::Form_Load() {
    AddLog(L"Purgebox is Idle...");
    gCleanser = std::make_unique<HistoryCleanser>(
        [window = hwnd_] { PostMessageW(window, kMsgHistoryRead, 0, 0); });
    bannerAddress = SiteAddress(kBannerPagePath);
    bannerResult = NavigateBanner(WebBrowser1.hwnd(), bannerAddress);
    gQuitOnUnload = true;
}

void FrmMain::Form_Resize() {
    if (IsIconic(hwnd_)) {
        if (!MessageBoxUp()) // its box would go with it, and no click on the icon could reach it
            MinimizeToTray();
    } else
        KeepDesignSize();
}

void FrmMain::Form_Unload(int& Cancel) {
    if (gQuitOnUnload) {
        EndProgram();
        return;
    }
    Cancel = 1;
    MinimizeToTray();
}

void FrmMain::Command1_Click() {
    Shape2->SetVisible(true);
    Shape1->SetVisible(true);
    List1.SetVisible(true);
    HideControl(Text1);
    imgGo->SetPicture({});
    HideControl(*imgGo);
    List1.Clear();
    AddLog(L"Purgebox started at " + TimeOfDay());
    AddLog(L" ");
    Shape2->SetWidthTwips(5);

    for (const Option* option : OptionsInRunOrder()) {
        // Read at this moment: a box changed at an earlier pumping point counts.
        if ((this->*option->box).Value() == 1) {
            const TaskInProgress working;
            option->task();
        }
        const double frame = Shape1->WidthTwips();
        Shape2->SetWidthTwips(static_cast<float>(frame * option->fillShare + option->fillTwips));
        if (option->pumpsAfter)
            DoEvents();
    }
    Shape2->SetVisible(false);
    Shape1->SetVisible(false);
    AddLog(L" ");
    AddLog(L"Purgebox completed at " + TimeOfDay());
    Command4.SetVisible(true);
    ShowMessage(L"Purgebox completed!", kCaption, MB_OK | MB_ICONINFORMATION);
}

void FrmMain::Command2_Click() {
    const std::wstring caption = Command2.Text();
    const wchar_t first = caption.empty() ? L'\0' : caption.front();
    if (first != L'S' && first != L'D')
        return;
    const int value = first == L'S' ? 1 : 0;
    for (const Option& option : kOptions)
        (this->*option.box).SetValue(value);
    Command2.SetText(first == L'S' ? L"Deselect &All" : L"Select &All");
}

void FrmMain::Command3_Click() {
    gQuitOnUnload = false;
    SendMessageW(hwnd_, WM_CLOSE, 0, 0); // the unload is cancelled: to the tray
}

void FrmMain::Command4_Click() {
    List1.Clear();
    AddLog(L"Purgebox is Idle...");
    List1.SetVisible(false);
    imgGo->SetPicture({});
    imgGo->SetVisible(true);
    HideControl(Command4);
}

void FrmMain::ShowOptionDescription(const Graphic& source, const wchar_t* description) {
    if (List1.Count() != 1)
        return; // a run's log is on display: leave it there
    List1.SetVisible(false);
    Text1.SetVisible(true);
    if (!(imgGo->picture() == source.picture()))
        imgGo->SetPicture(source.picture());
    Text1.SetText(description);
}

void FrmMain::Check_MouseMove(size_t Index) {
    const Option& option = kOptions.at(Index);
    ShowOptionDescription(*(this->*option.picture), option.description);
}

void FrmMain::Label1_MouseMove(int index) {
    Label1.at(static_cast<size_t>(index))->SetTextColor(kWhite);
}

void FrmMain::Label1_Click(int Index) {
    const std::wstring caption = ToLower(Label1.at(static_cast<size_t>(Index))->Text());
    if (caption == L"purgebox website")
        OpenWebPage(SiteAddress(kProductPagePath));
    else if (caption == kMakerDomainLower)
        OpenWebPage(SiteAddress(kSiteRootPath));
    else if (caption == L"about")
        ShowAbout();
}

void FrmMain::Form_MouseMove() {
    for (const auto& label : Label1)
        label->SetTextColor(kBlack);
}
void FrmMain::Image1_MouseMove() {
    Form_MouseMove();
}
void FrmMain::Image9_MouseMove() {
    Form_MouseMove();
}

FrmMain::TrayAnswer FrmMain::TrayAnswerTo(LPARAM trayMessage) {
    // The icon's own mouse message comes in the low word: read it as such, at any DPI.
    const UINT mouse = LOWORD(trayMessage);
    if (MessageBoxUp()) // as a taskbar button does for a window with a modal box
        return mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN || mouse == WM_LBUTTONDBLCLK
                   ? TrayAnswer::BoxToFront
                   : TrayAnswer::Nothing;
    return mouse == WM_RBUTTONDOWN ? TrayAnswer::Menu : TrayAnswer::Nothing;
}

void FrmMain::Picture1_MouseMove(LPARAM trayMessage) {
    switch (TrayAnswerTo(trayMessage)) {
    case TrayAnswer::BoxToFront:
        BringMessageBoxToFront();
        break;
    case TrayAnswer::Menu:
        ShowTrayMenu();
        break;
    case TrayAnswer::Nothing:
        break;
    }
}

void FrmMain::ShowTrayMenu() {
    UniqueMenu menu(CreatePopupMenu());
    AppendMenuW(menu.get(), MF_STRING, idMnuClean, L"Clean Now!");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, idMnuOpen, L"Open Purgebox");
    AppendMenuW(menu.get(), MF_STRING, idMnuClose, L"Exit Purgebox");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, idMnuWeb, L"Purgebox Website");
    SetMenuDefaultItem(menu.get(), idMnuClean, FALSE);
    UINT chosen = 0;
    if (const auto h = seams::popupMenu.get()) {
        chosen = h(menu.get());
    } else {
        POINT pt;
        GetCursorPos(&pt);
        // The tray idiom: without it the menu would not close on a click elsewhere.
        SetForegroundWindow(hwnd_);
        chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, pt.x,
                                pt.y, 0, hwnd_, nullptr);
        PostMessageW(hwnd_, WM_NULL, 0, 0);
    }
    menu.reset();
    switch (chosen) {
    case idMnuClean:
        mnuClean_Click();
        break;
    case idMnuOpen:
        mnuOpen_Click();
        break;
    case idMnuClose:
        mnuClose_Click();
        break;
    case idMnuWeb:
        mnuWeb_Click();
        break;
    default:
        break;
    }
}

void FrmMain::mnuClean_Click() {
    Command1_Click();
}

void FrmMain::mnuOpen_Click() {
    DeleteTrayIcon();
    gQuitOnUnload = true;
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    KeepDesignSize();
    SetForegroundWindow(hwnd_);
}

void FrmMain::mnuClose_Click() {
    DeleteTrayIcon();
    gQuitOnUnload = true;
    SendMessageW(hwnd_, WM_CLOSE, 0, 0); // the unload handler ends the program
}

void FrmMain::mnuWeb_Click() {
    OpenWebPage(SiteAddress(kProductPagePath));
}

// --- Message routing --------------------------------------------------------------------------

void FrmMain::OnCommand(int id, int code) {
    if (code != BN_CLICKED) // STN_CLICKED is the same code
        return;
    using Click = void (FrmMain::*)();
    static constexpr std::pair<int, Click> kClicks[] = {{idCommand1, &FrmMain::Command1_Click},
                                                        {idCommand2, &FrmMain::Command2_Click},
                                                        {idCommand3, &FrmMain::Command3_Click},
                                                        {idCommand4, &FrmMain::Command4_Click}};
    for (const auto& [button, click] : kClicks)
        if (id == button)
            (this->*click)();
    for (const Option& option : kOptions)
        if (id == option.id) { // clicks tick and untick; only code greys a box
            const CheckBox& box = this->*option.box;
            box.SetValue(box.Value() == 1 ? 0 : 1);
        }
    if (id >= idLabel1 && id < idLabel1 + 3)
        Label1_Click(id - idLabel1);
}

void FrmMain::OnChildMouseMove(int id, LPARAM lp) {
    using Move = void (FrmMain::*)();
    static constexpr std::pair<int, Move> kMoves[] = {{idImage1, &FrmMain::Image1_MouseMove},
                                                      {idImage9, &FrmMain::Image9_MouseMove}};
    for (const auto& [control, move] : kMoves)
        if (id == control)
            (this->*move)();
    for (size_t i = 0; i < kOptions.size(); ++i)
        if (id == kOptions[i].id)
            Check_MouseMove(i);
    if (id == idPicture1)
        Picture1_MouseMove(lp);
    if (id >= idLabel1 && id < idLabel1 + 3)
        Label1_MouseMove(id - idLabel1);
}

bool FrmMain::StartsSomething(UINT msg, WPARAM wp, LPARAM lp) const {
    // The tray icon's menu too; a box brought to the front starts nothing.
    if (msg == kMsgChildMouseMove && static_cast<int>(wp) == idPicture1)
        return TrayAnswerTo(lp) == TrayAnswer::Menu;
    return Form::StartsSomething(msg, wp, lp);
}

LRESULT FrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (taskbarCreated_ && msg == taskbarCreated_) {
        RestoreTrayIcon(); // the shell restarted: without the icon the hidden window is lost
        return 0;
    }
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case kMsgChildMouseMove:
        OnChildMouseMove(static_cast<int>(wp), lp);
        return 0;
    case kMsgHistoryRead:
        // Also after a clear dropped the reading: then there is nothing left to take in. A store
        // that could not be read at all ends the program, as a failed load would.
        if (gCleanser)
            gCleanser->TakeFirstReading();
        return 0;
    case WM_MOUSEMOVE:
        Form_MouseMove();
        return 0;
    case WM_SIZE:
        if (Picture1) // not while the window is still being made
            Form_Resize();
        return 0;
    case WM_CLOSE: {
        int cancel = 0;
        Form_Unload(cancel);
        return 0;
    }
    case WM_QUERYENDSESSION:
        return TRUE; // never stand in the way of a log-off or shut-down
    case WM_ENDSESSION:
        if (wp)
            EndProgram();
        return 0;
    default:
        break;
    }
    return Form::HandleMessage(msg, wp, lp);
}

} // namespace pb
