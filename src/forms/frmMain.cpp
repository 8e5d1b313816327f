#include "forms/frmMain.h"
#include "forms/Descriptions.h"
#include "forms/frmAbout.h"
#include "module/Site.h"
#include "module/modMain.h"
#include "platform/Errors.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "resources/resource.h"
#include "platform/HeldMessages.h"
#include "forms/KeyboardNavigation.h"
#include "platform/WindowMessages.h"
#include "platform/Pump.h"
#include <oleauto.h>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace pb {

namespace {

constexpr wchar_t kClassName[] = L"PurgeboxMain";
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kProgressBlue = RGB(0xC0, 0xC0, 0xFF);
constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr DISPID kDispidNavigate2 = 500;

enum ControlId : int {
    idCheck1 = 1001,
    idCheck2,
    idCheck3,
    idCheck4,
    idCheck5,
    idCommand1 = 1011,
    idCommand2,
    idCommand3,
    idCommand4,
    idList1 = 1020,
    idText1,
    idFile1,
    idImgGo = 1030,
    idImage1 = 1041,
    idImage2,
    idImage3,
    idImage4,
    idImage5,
    idImage6,
    idImage7,
    idImage8,
    idImage9,
    idShape1 = 1051,
    idShape2,
    idLine1,
    idLabel2 = 1060,
    idLabel1 = 1070, // + index
    idPicture1 = 1080,
    idWebBrowser1 = 1090,
    idMnuClean = 3001,
    idMnuOpen,
    idMnuClose,
    idMnuWeb,
};

FrmMain* gMainForm = nullptr;

FrmMain::PopupHandler& Popup() {
    static FrmMain::PopupHandler handler;
    return handler;
}

std::wstring TimeOfDay() {
    wchar_t buf[80] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buf, 80);
    return buf;
}

template <typename T> T AtlProc(const char* name) {
    // Loaded once for the process: the window class it registers outlives any one window.
    static const UniqueModule atl(LoadLibraryW(L"atl.dll"));
    return ProcAddress<T>(atl.get(), name);
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
    if (hwnd_) {
        UnregisterDialogNavigation(hwnd_);
        DestroyWindow(hwnd_);
    }
    SetMessageBoxOwner(nullptr);
    if (gMainForm == this)
        gMainForm = nullptr;
}

FrmMain::PopupHandler FrmMain::SetPopupHandler(PopupHandler handler) {
    return std::exchange(Popup(), std::move(handler));
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
    SetMessageBoxOwner(hwnd_);
    CreateControls();
    Form_Load();
}

void FrmMain::Show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
}

void FrmMain::CreateControls() {
    constexpr DWORD check = WS_VISIBLE | WS_TABSTOP | BS_3STATE;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

    // Creation order is the tab order and, for overlapping controls, the z-order (first on top).
    Check1 = CheckBox(MakeControl(L"BUTTON", L"Temporary Internet Files", check,
                                  {1080, 2520, 2895, 255}, idCheck1));
    Check2 = CheckBox(MakeControl(L"BUTTON", L"Internet Explorer Typed URLs", check,
                                  {1080, 2880, 2895, 255}, idCheck2));
    Check3 = CheckBox(
        MakeControl(L"BUTTON", L"Recent Documents List", check, {1080, 3720, 2895, 255}, idCheck3));
    Check4 = CheckBox(MakeControl(L"BUTTON", L"Internet Explorer History", check,
                                  {1080, 3240, 2895, 255}, idCheck4));
    Check5 = CheckBox(
        MakeControl(L"BUTTON", L"Windows Temp Files", check, {1080, 4080, 2895, 255}, idCheck5));
    Command1 = WindowRef(
        MakeControl(L"BUTTON", L"Clear Now!", button, {1080, 4440, 1335, 375}, idCommand1));
    Command2 = WindowRef(
        MakeControl(L"BUTTON", L"Select &All", button, {2640, 4440, 1335, 375}, idCommand2));
    List1 = ListBox(
        MakeControl(L"LISTBOX", L"",
                    WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                    {4320, 2160, 3375, 2760}, idList1, WS_EX_CLIENTEDGE));
    Command3 =
        WindowRef(MakeControl(L"BUTTON", L"&Close", button, {6360, 5040, 1335, 375}, idCommand3));
    Text1 = WindowRef(MakeControl(L"EDIT", L"",
                                  WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                                  kText1Rect, idText1, WS_EX_CLIENTEDGE));
    Command4 = WindowRef(MakeControl(L"BUTTON", L"&Hide Log", WS_TABSTOP | BS_PUSHBUTTON,
                                     {4920, 5040, 1335, 375}, idCommand4));
    imgGo = MakeGraphic(Graphic::Kind::PictureBox, idImgGo, L"", kImgGoRect, true);
    SetWindowLongW(imgGo->hwnd(), GWL_STYLE, GetWindowLongW(imgGo->hwnd(), GWL_STYLE) | WS_TABSTOP);
    // The option picture lies over the description box's lower edge: it goes above the box
    // (the tab order keeps to the creation order), and the description wraps above it.
    SetWindowPos(imgGo->hwnd(), GetWindow(Text1.hwnd(), GW_HWNDPREV), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT picture, box;
    GetWindowRect(imgGo->hwnd(), &picture);
    GetWindowRect(Text1.hwnd(), &box);
    SetDescriptionArea(Text1.hwnd(), picture.top - box.top);
    CreateBanner();

    Label1[0] = MakeGraphic(Graphic::Kind::Label, idLabel1 + 0, L"Purgebox Website",
                            {3840, 6600, 1455, 255}, true);
    Label1[1] = MakeGraphic(Graphic::Kind::Label, idLabel1 + 1, kMakerDomainCaption,
                            {5640, 6600, 1935, 255}, true);
    Label1[2] =
        MakeGraphic(Graphic::Kind::Label, idLabel1 + 2, L"About", {7080, 120, 495, 255}, true);
    Label2 = MakeGraphic(Graphic::Kind::Label, idLabel2, L"", {120, 6600, 3255, 255}, true);
    Shape2 = MakeGraphic(Graphic::Kind::Fill, idShape2, L"", {500, 1570, 15, 240}, false);
    Shape2->SetFillColor(kProgressBlue);
    Shape1 = MakeGraphic(Graphic::Kind::Frame, idShape1, L"", {480, 1560, 6975, 255}, false);
    Line1 = MakeGraphic(Graphic::Kind::Line, idLine1, L"", {1080, 3600, 3000, 15}, true);
    File1 = ListBox(MakeControl(L"LISTBOX", L"", LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                {120, 4920, 1935, 225}, idFile1));
    Picture1 =
        MakeGraphic(Graphic::Kind::PictureBox, idPicture1, L"", {3720, 5160, 255, 255}, false);
    Picture1->SetPicture({nullptr, BigIcon()});

    Image3 = MakeGraphic(Graphic::Kind::Image, idImage3, L"", {360, 2040, 480, 480}, true);
    Image3->SetPicture({nullptr, decorIcon_.get()});
    Image2 = MakeGraphic(Graphic::Kind::Image, idImage2, L"", {850, 2090, 3390, 375}, true);
    Image2->SetPicture({bitmaps_[1].get(), nullptr});
    Image4 = MakeGraphic(Graphic::Kind::Image, idImage4, L"", {120, 2640, 3375, 345}, false);
    Image5 = MakeGraphic(Graphic::Kind::Image, idImage5, L"", {120, 3000, 3435, 435}, false);
    Image6 = MakeGraphic(Graphic::Kind::Image, idImage6, L"", {120, 3480, 3375, 420}, false);
    Image7 = MakeGraphic(Graphic::Kind::Image, idImage7, L"", {120, 3960, 3375, 630}, false);
    Image8 = MakeGraphic(Graphic::Kind::Image, idImage8, L"", {120, 4560, 3375, 450}, false);
    Image4->SetPicture({bitmaps_[2].get(), nullptr});
    Image5->SetPicture({bitmaps_[3].get(), nullptr});
    Image6->SetPicture({bitmaps_[4].get(), nullptr});
    Image7->SetPicture({bitmaps_[5].get(), nullptr});
    Image8->SetPicture({bitmaps_[6].get(), nullptr});
    Image1 = MakeGraphic(Graphic::Kind::Image, idImage1, L"", {0, 0, 7860, 2025}, true);
    Image1->SetPicture({bitmaps_[0].get(), nullptr});
    Image9 = MakeGraphic(Graphic::Kind::Image, idImage9, L"", {0, 6600, 7890, 270}, true);
    Image9->SetPicture({bitmaps_[7].get(), nullptr});
    for (const Graphic* g : {Image1.get(), Image2.get(), Image3.get(), Image9.get()})
        AddBackdropImage(g);

    for (const CheckBox* c : {&Check1, &Check2, &Check3, &Check4, &Check5})
        ForwardMouseMoves(c->hwnd());
}

void FrmMain::CreateBanner() {
    // The system's browser control, hosted through its own atl.dll. Where either is missing
    // the banner area stays empty and the program goes on.
    const auto init = AtlProc<BOOL(WINAPI*)()>("AtlAxWinInit");
    if (!init)
        return;
    init(); // FALSE once the class is registered already; creating the window tells

    const RECT rc = TwipRect{390, 5640, 7020, 900}.ToPixels();
    HWND h = CreateWindowExW(0, L"AtlAxWin", kWebBrowserClsid,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, rc.left, rc.top,
                             rc.right - rc.left, rc.bottom - rc.top, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(idWebBrowser1)),
                             GetModuleHandleW(nullptr), nullptr);
    WebBrowser1 = WindowRef(h);
    AddToTabOrder(h);
}

void FrmMain::NavigateBanner(const std::wstring& address) {
    bannerAddress = address;
    const auto getControl = AtlProc<HRESULT(WINAPI*)(HWND, IUnknown**)>("AtlAxGetControl");
    ComPtr<IUnknown> control;
    if (!WebBrowser1.hwnd() || !getControl ||
        FAILED(getControl(WebBrowser1.hwnd(), control.ReleaseAndGetAddressOf())) || !control) {
        bannerResult = E_NOINTERFACE;
        return;
    }
    ComPtr<IDispatch> browser;
    bannerResult = control.As(&browser);
    if (FAILED(bannerResult))
        return;
    // Navigate2(URL): the four optional arguments go as "missing", last argument first.
    VARIANT args[5];
    for (VARIANT& v : args) {
        VariantInit(&v);
        v.vt = VT_ERROR;
        v.scode = DISP_E_PARAMNOTFOUND;
    }
    args[4].vt = VT_BSTR;
    args[4].bstrVal = SysAllocString(address.c_str());
    DISPPARAMS params{args, nullptr, 5, 0};
    // Returns at once: the page loads inside the control, and is never waited for.
    bannerResult = browser->Invoke(kDispidNavigate2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   &params, nullptr, nullptr, nullptr);
    VariantClear(&args[4]);
}

// --- Event handlers -------------------------------------------------------------------------

void FrmMain::Form_Load() {
    AddLog(L"Purgebox is Idle...");
    gCleanser = std::make_unique<HistoryCleanser>(
        [window = hwnd_] { PostMessageW(window, kMsgHistoryRead, 0, 0); });
    NavigateBanner(SiteAddress(kBannerPagePath));
    gQuitOnUnload = true;
}

void FrmMain::Form_Resize() {
    if (IsIconic(hwnd_))
        MinimizeToTray();
    else
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
    Text1.SetVisible(false);
    imgGo->SetPicture({});
    imgGo->SetVisible(false);
    List1.Clear();
    AddLog(L"Purgebox started at " + TimeOfDay());
    AddLog(L" ");
    Shape2->SetWidthTwips(5);

    struct Stage {
        CheckBox FrmMain::*box;
        void (*task)();
        double factor; // of the frame's width; the last stage fills to the frame's end
    };
    static constexpr std::array<Stage, 5> stages{{
        {&FrmMain::Check1, &ClearCache, 0.2},
        {&FrmMain::Check2, &ClearTypedUrls, 0.4},
        {&FrmMain::Check4, &CleanHistory, 0.6},
        {&FrmMain::Check3, &CleanRecentFolder, 0.8},
        {&FrmMain::Check5, &CleanTempFolder, 0.0},
    }};
    for (size_t i = 0; i < stages.size(); ++i) {
        // Read at this moment: a box changed at an earlier pumping point counts.
        if ((this->*stages[i].box).Value() == 1) {
            const TaskInProgress working;
            stages[i].task();
        }
        const double frame = Shape1->WidthTwips();
        const double width = i + 1 < stages.size() ? frame * stages[i].factor : frame - 20.0;
        if (!std::isfinite(width) || std::fabs(width) > 3.4e38)
            throw std::overflow_error("floating-point overflow in the progress width");
        Shape2->SetWidthTwips(static_cast<float>(width));
        if (i + 1 < stages.size())
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
    for (const CheckBox* c : {&Check1, &Check2, &Check3, &Check4, &Check5})
        c->SetValue(value);
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
    Command4.SetVisible(false);
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

void FrmMain::Check1_MouseMove() {
    ShowOptionDescription(*Image4, kOptionDescriptions[0]);
}
void FrmMain::Check2_MouseMove() {
    ShowOptionDescription(*Image5, kOptionDescriptions[1]);
}
void FrmMain::Check3_MouseMove() {
    ShowOptionDescription(*Image7, kOptionDescriptions[2]);
}
void FrmMain::Check4_MouseMove() {
    ShowOptionDescription(*Image6, kOptionDescriptions[3]);
}
void FrmMain::Check5_MouseMove() {
    ShowOptionDescription(*Image8, kOptionDescriptions[4]);
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

void FrmMain::Picture1_MouseMove(LPARAM trayMessage) {
    // The icon's own mouse message comes in the low word: read it as such, at any DPI.
    if (LOWORD(trayMessage) == WM_RBUTTONDOWN)
        ShowTrayMenu();
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
    if (const PopupHandler h = Popup()) {
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
    auto toggle = [](const CheckBox& box) {
        // Clicks tick and untick; the greyed state is only ever set by code.
        box.SetValue(box.Value() == 1 ? 0 : 1);
    };
    switch (id) {
    case idCommand1:
        Command1_Click();
        break;
    case idCommand2:
        Command2_Click();
        break;
    case idCommand3:
        Command3_Click();
        break;
    case idCommand4:
        Command4_Click();
        break;
    case idCheck1:
        toggle(Check1);
        break;
    case idCheck2:
        toggle(Check2);
        break;
    case idCheck3:
        toggle(Check3);
        break;
    case idCheck4:
        toggle(Check4);
        break;
    case idCheck5:
        toggle(Check5);
        break;
    case idLabel1 + 0:
    case idLabel1 + 1:
    case idLabel1 + 2:
        Label1_Click(id - idLabel1);
        break;
    default:
        break;
    }
}

void FrmMain::OnChildMouseMove(int id, LPARAM lp) {
    switch (id) {
    case idCheck1:
        Check1_MouseMove();
        break;
    case idCheck2:
        Check2_MouseMove();
        break;
    case idCheck3:
        Check3_MouseMove();
        break;
    case idCheck4:
        Check4_MouseMove();
        break;
    case idCheck5:
        Check5_MouseMove();
        break;
    case idImage1:
        Image1_MouseMove();
        break;
    case idImage9:
        Image9_MouseMove();
        break;
    case idPicture1:
        Picture1_MouseMove(lp);
        break;
    case idLabel1 + 0:
    case idLabel1 + 1:
    case idLabel1 + 2:
        Label1_MouseMove(id - idLabel1);
        break;
    default:
        break;
    }
}

bool FrmMain::StartsSomething(UINT msg, WPARAM wp) const {
    // The tray icon's callback too: it opens the menu.
    return Form::StartsSomething(msg, wp) ||
           (msg == kMsgChildMouseMove && static_cast<int>(wp) == idPicture1);
}

LRESULT FrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (StartsSomething(msg, wp) && HoldForPumpingPoint(hwnd_, msg, wp, lp))
        return 0; // a task works: this comes at the run's next pumping point
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
            gCleanser->Settle();
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
