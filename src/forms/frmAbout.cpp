#include "forms/frmAbout.h"
#include "forms/Captions.h"
#include "module/Site.h"
#include "resources/resource.h"

namespace pb {

namespace {

constexpr wchar_t kClassName[] = L"PurgeboxAbout";
enum : int { idImage1 = 2001, idLabel1, idLabel2, idLabel3, idLabel4, idLine1, idCommand1 };

std::unique_ptr<FrmAbout> gAbout;

std::wstring Credit() {
    return std::wstring(L"by ") + kMakerName;
}
std::wstring Notice() {
    return L"Purgebox uses parts of the system browser maker's technology. All protected "
           L"material belongs to its respective owners. Purgebox may be passed on freely as "
           L"long as it stays unaltered. Questions and comments are always welcome.";
}
std::wstring Contact() {
    return std::wstring(L" Email us at ") + kMakerEmail;
}

} // namespace

FrmAbout::FrmAbout() {
    CreateForm(kClassName, kCaption, 4680, 5310, IDI_ABOUT);
    picture_.reset(
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_ABOUT_TOP),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    const std::wstring credit = Credit(), notice = Notice(), contact = Contact();
    using Kind = ControlRow::Kind;
    // clang-format off
    const ControlRow rows[] = {
        // kind        control    id          caption            left  top   width height  shown   style, ex-style, picture
        {Kind::Label,  &Label1,   idLabel1,   kVersionLine.text, kVersionLine.rect,        kShown},
        {Kind::Label,  &Label4,   idLabel4,   credit.c_str(),    {1395, 1800, 1935,  255}, kShown},
        {Kind::Button, &Command1, idCommand1, L"&Close",         {3360, 4800, 1095,  375}, kShown, BS_DEFPUSHBUTTON},
        {Kind::Label,  &Label2,   idLabel2,   notice.c_str(),    { 360, 2280, 3975, 1575}, kShown},
        {Kind::Label,  &Label3,   idLabel3,   contact.c_str(),   { 360, 4200, 3975,  255}, kShown},
        {Kind::Line,   &Line1,    idLine1,    L"",               { 300, 2160, 4080,   15}, kShown},
        {Kind::Image,  &Image1,   idImage1,   L"",               {1290,  480, 2100,  495}, kShown, 0, 0, {picture_.get(), nullptr}},
    };
    // clang-format on
    CreateControls(rows);
    Label4->SetCentered(true);
    SetDefaultButton(idCommand1); // Enter closes the box wherever the focus is
}

void FrmAbout::Command1_Click() {
    // Unloads the box; the next "About" makes a fresh one.
    DestroyWindow(hwnd_);
}

LRESULT FrmAbout::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == idCommand1 && HIWORD(wp) == BN_CLICKED) {
        Command1_Click();
        return 0;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) { // Esc
        Command1_Click();
        return 0;
    }
    return Form::HandleMessage(msg, wp, lp);
}

FrmAbout* OpenAbout() {
    return gAbout && gAbout->hwnd() ? gAbout.get() : nullptr;
}

FrmAbout& ShowAbout() {
    if (!OpenAbout())
        gAbout = std::make_unique<FrmAbout>(); // a closed box is replaced, outside its own handler
    ShowWindow(gAbout->hwnd(), SW_SHOW);
    SetForegroundWindow(gAbout->hwnd());
    return *gAbout;
}

} // namespace pb
