// The main window's layout: which control, which caption, where, shown or not, in which order.
#include "forms/Captions.h"
#include "forms/Descriptions.h"
#include "forms/Options.h"
#include "forms/frmMain.h"
#include "module/Site.h"

namespace pb {

namespace {
constexpr COLORREF kProgressBlue = RGB(0xC0, 0xC0, 0xFF);
}

void FrmMain::CreateControls() {
    using Kind = ControlRow::Kind;
    constexpr DWORD kLogStyle = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY;
    constexpr DWORD kDescriptionStyle = WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    // The tray shows Picture1's icon at the small size.
    const Picture icon{nullptr, SmallIcon()}, decor{nullptr, decorIcon_.get()};
    auto bitmap = [this](size_t i) { return Picture{bitmaps_[i].get(), nullptr}; };
    // clang-format off
    const ControlRow rows[] = {
        // kind            control       id             caption                          left  top   width height  shown   style, ex-style, picture
        {Kind::CheckBox,   &Check1,      idCheck1,      kOptions[0].caption,             {1080, 2520, 2895,  255}, kShown},
        {Kind::CheckBox,   &Check2,      idCheck2,      kOptions[1].caption,             kTypedUrlsOption.rect,    kShown},
        {Kind::CheckBox,   &Check3,      idCheck3,      kOptions[2].caption,             {1080, 3720, 2895,  255}, kShown},
        {Kind::CheckBox,   &Check4,      idCheck4,      kOptions[3].caption,             {1080, 3240, 2895,  255}, kShown},
        {Kind::CheckBox,   &Check5,      idCheck5,      kOptions[4].caption,             {1080, 4080, 2895,  255}, kShown},
        {Kind::Button,     &Command1,    idCommand1,    L"Clear Now!",                   {1080, 4440, 1335,  375}, kShown},
        {Kind::Button,     &Command2,    idCommand2,    L"Select &All",                  {2640, 4440, 1335,  375}, kShown},
        {Kind::ListBox,    &List1,       idList1,       L"",                             {4320, 2160, 3375, 2760}, kHidden, kLogStyle, WS_EX_CLIENTEDGE},
        {Kind::Button,     &Command3,    idCommand3,    L"&Close",                       {6360, 5040, 1335,  375}, kShown},
        {Kind::TextBox,    &Text1,       idText1,       L"",                             kText1Rect,               kHidden, kDescriptionStyle, WS_EX_CLIENTEDGE},
        {Kind::Button,     &Command4,    idCommand4,    L"&Hide Log",                    {4920, 5040, 1335,  375}, kHidden},
        {Kind::PictureBox, &imgGo,       idImgGo,       L"",                             kImgGoRect,               kShown, WS_TABSTOP},
        {Kind::Browser,    &WebBrowser1, idWebBrowser1, L"",                             { 390, 5640, 7020,  900}, kShown},
        {Kind::Label,      &Label1[0],   idLabel1 + 0,  kWebsiteLink.text,               kWebsiteLink.rect,        kShown},
        {Kind::Label,      &Label1[1],   idLabel1 + 1,  kDomainLink.text,                kDomainLink.rect,         kShown},
        {Kind::Label,      &Label1[2],   idLabel1 + 2,  L"About",                        {7080,  120,  495,  255}, kShown},
        {Kind::Label,      &Label2,      idLabel2,      L"",                             { 120, 6600, 3255,  255}, kShown},
        {Kind::Fill,       &Shape2,      idShape2,      L"",                             { 500, 1570,   15,  240}, kHidden},
        {Kind::Frame,      &Shape1,      idShape1,      L"",                             { 480, 1560, 6975,  255}, kHidden},
        {Kind::Line,       &Line1,       idLine1,       L"",                             {1080, 3600, 3000,   15}, kShown},
        {Kind::ListBox,    &File1,       idFile1,       L"",                             { 120, 4920, 1935,  225}, kHidden},
        {Kind::PictureBox, &Picture1,    idPicture1,    L"",                             {3720, 5160,  255,  255}, kHidden, 0, 0, icon},
        {Kind::Image,      &Image3,      idImage3,      L"",                             { 360, 2040,  480,  480}, kShown, 0, 0, decor},
        {Kind::Image,      &Image2,      idImage2,      L"",                             { 850, 2090, 3390,  375}, kShown, 0, 0, bitmap(1)},
        {Kind::Image,      &Image4,      idImage4,      L"",                             { 120, 2640, 3375,  345}, kHidden, 0, 0, bitmap(2)},
        {Kind::Image,      &Image5,      idImage5,      L"",                             { 120, 3000, 3435,  435}, kHidden, 0, 0, bitmap(3)},
        {Kind::Image,      &Image6,      idImage6,      L"",                             { 120, 3480, 3375,  420}, kHidden, 0, 0, bitmap(4)},
        {Kind::Image,      &Image7,      idImage7,      L"",                             { 120, 3960, 3375,  630}, kHidden, 0, 0, bitmap(5)},
        {Kind::Image,      &Image8,      idImage8,      L"",                             { 120, 4560, 3375,  450}, kHidden, 0, 0, bitmap(6)},
        {Kind::Image,      &Image1,      idImage1,      L"",                             {   0,    0, 7860, 2025}, kShown, 0, 0, bitmap(0)},
        {Kind::Image,      &Image9,      idImage9,      L"",                             {   0, 6600, 7890,  270}, kShown, 0, 0, bitmap(7)},
    };
    // clang-format on
    Form::CreateControls(rows);
    Shape2->SetFillColor(kProgressBlue);
    // The option picture lies over the description box's lower edge: it goes above the box
    // (the tab order keeps to the creation order), and the description wraps above it.
    SetWindowPos(imgGo->hwnd(), GetWindow(Text1.hwnd(), GW_HWNDPREV), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT picture, box;
    GetWindowRect(imgGo->hwnd(), &picture);
    GetWindowRect(Text1.hwnd(), &box);
    SetDescriptionArea(Text1.hwnd(), picture.top - box.top);
}

} // namespace pb
