#include "forms/Form.h"
#include "forms/Banner.h"
#include "forms/Controls.h"
#include "forms/FormFont.h"
#include "forms/KeyboardNavigation.h"
#include "platform/WindowMessages.h"
#include <commctrl.h>
#include <optional>
#include <stdexcept>

namespace pb {

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// What draws a windowless row; none for a row that is a window of its own.
std::optional<Graphic::Kind> GraphicKind(ControlRow::Kind kind) {
    using Kind = ControlRow::Kind;
    switch (kind) {
    case Kind::Image:
        return Graphic::Kind::Image;
    case Kind::PictureBox:
        return Graphic::Kind::PictureBox;
    case Kind::Label:
        return Graphic::Kind::Label;
    case Kind::Frame:
        return Graphic::Kind::Frame;
    case Kind::Fill:
        return Graphic::Kind::Fill;
    case Kind::Line:
        return Graphic::Kind::Line;
    default:
        return std::nullopt;
    }
}

SIZE OuterSize(double clientWidthTwips, double clientHeightTwips) {
    RECT rc{0, 0, TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips)};
    AdjustWindowRectEx(&rc, kFormStyle, FALSE, kFormExStyle);
    return {rc.right - rc.left, rc.bottom - rc.top};
}
} // namespace

Form::~Form() {
    if (hwnd_) {
        UnregisterDialogNavigation(hwnd_);
        // Children (hosted controls among them) go before the members they use.
        DestroyWindow(hwnd_);
    }
}

void Form::CreateForm(const wchar_t* className, const wchar_t* caption, double clientWidthTwips,
                      double clientHeightTwips, int iconId) {
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    // At the sizes the system draws them, which grow with its DPI.
    const auto load = [&](int width, int height) {
        return static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                             GetSystemMetrics(width), GetSystemMetrics(height), 0));
    };
    icon_.reset(load(SM_CXICON, SM_CYICON));
    smallIcon_.reset(load(SM_CXSMICON, SM_CYSMICON));
    font_.reset(CreateFormFont());
    white_.reset(CreateSolidBrush(kWhite));
    clientWidthTwips_ = clientWidthTwips;
    clientHeightTwips_ = clientHeightTwips;

    RegisterClassOnce(className, icon_.get());
    const SIZE outer = OuterSize(clientWidthTwips, clientHeightTwips);
    CreateWindowExW(kFormExStyle, className, caption, kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.cx, outer.cy, nullptr, nullptr, inst, static_cast<Window*>(this));
    if (!hwnd_)
        throw std::runtime_error("cannot create a window");
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    RegisterDialogNavigation(hwnd_);
}

void Form::KeepDesignSize() {
    // The client area, not the outer size, is what the controls were laid out for: a larger
    // caption or another DPI must not cut them off.
    const SIZE outer = OuterSize(clientWidthTwips_, clientHeightTwips_);
    RECT now;
    GetWindowRect(hwnd_, &now);
    if (now.right - now.left != outer.cx || now.bottom - now.top != outer.cy)
        SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::CreateControls(std::span<const ControlRow> rows) {
    using Kind = ControlRow::Kind;
    for (const ControlRow& row : rows) {
        // A row given the wrong kind of member would leave that member empty.
        if (std::holds_alternative<WindowRef*>(row.control) == GraphicKind(row.kind).has_value())
            throw std::logic_error("a layout row's member does not fit its kind");
        const DWORD style = (row.visible ? WS_VISIBLE : 0) | row.style;
        HWND made = nullptr;
        std::unique_ptr<Graphic> graphic;
        switch (row.kind) {
        case Kind::CheckBox:
            made = MakeControl(L"BUTTON", row.caption, style | WS_TABSTOP | BS_3STATE, row.rect,
                               row.id, row.exStyle);
            ForwardMouseMoves(made);
            break;
        case Kind::Button:
            made = MakeControl(L"BUTTON", row.caption, style | WS_TABSTOP | BS_PUSHBUTTON, row.rect,
                               row.id, row.exStyle);
            break;
        case Kind::ListBox:
            made =
                MakeControl(L"LISTBOX", row.caption, style | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                            row.rect, row.id, row.exStyle);
            break;
        case Kind::TextBox:
            made = MakeControl(L"EDIT", row.caption, style, row.rect, row.id, row.exStyle);
            WaitWithItsMenu(made, (style & ES_READONLY) != 0);
            break;
        case Kind::Browser:
            if ((made = CreateBannerHost(hwnd_, row.rect.ToPixels(), row.id)))
                AddToTabOrder(made);
            break;
        default:
            graphic = MakeGraphic(*GraphicKind(row.kind), row.id, row.caption, row.rect,
                                  row.visible, row.style);
            if (!row.picture.Empty())
                graphic->SetPicture(row.picture);
            if (row.kind == Kind::Image)
                AddBackdropImage(graphic.get());
            break;
        }
        if (WindowRef* const* window = std::get_if<WindowRef*>(&row.control))
            **window = WindowRef(made);
        else
            *std::get<std::unique_ptr<Graphic>*>(row.control) = std::move(graphic);
    }
}

std::unique_ptr<Graphic> Form::MakeGraphic(Graphic::Kind kind, int id, const wchar_t* text,
                                           const TwipRect& rc, bool visible, DWORD style) {
    auto graphic =
        std::make_unique<Graphic>(kind, hwnd_, id, text, rc, visible, this, font_.get(), style);
    tabOrder_.push_back(graphic->hwnd());
    return graphic;
}

HWND Form::MakeControl(const wchar_t* cls, const wchar_t* text, DWORD style, const TwipRect& rc,
                       int id, DWORD exStyle) {
    const HWND h =
        CreateChildControl(hwnd_, cls, text, style, exStyle, rc.ToPixels(), id, font_.get());
    tabOrder_.push_back(h);
    TrackPushButton(h, cls, style);
    return h;
}

void Form::PaintBackdrop(HDC dc, const RECT& rcInForm, const Graphic* above) {
    FillRect(dc, &rcInForm, white_.get());
    for (const Graphic* g : backdropImages_) {
        if (g == above || !g->Visible())
            continue;
        RECT r, overlap;
        GetWindowRect(g->hwnd(), &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        if (IntersectRect(&overlap, &r, &rcInForm))
            g->DrawPicture(dc, r);
    }
}

bool Form::StartsSomething(UINT msg, WPARAM, LPARAM) const {
    switch (msg) {
    case WM_COMMAND:
    case WM_SYSCOMMAND: // the system menu, moving and sizing loops
    case WM_CLOSE:
    case WM_CONTEXTMENU:
        return true;
    default:
        return false;
    }
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kMsgTabKey:
        return MoveFocusByTab(*reinterpret_cast<const MSG*>(lp));
    case kMsgButtonFocus:
        OnButtonFocus(wp != 0, reinterpret_cast<HWND>(lp));
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focus goes back where it was when the window was left (for a
        // box, another program, the About box).
        if (LOWORD(wp) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else if (!HIWORD(wp) && lastFocus_ && IsChild(hwnd_, lastFocus_) &&
                   IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case DM_GETDEFID: // the dialog manager asks which button Enter presses
        return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        SetDefaultButton(static_cast<int>(wp));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        // Check boxes and read-only text sit on the white form.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, kWhite);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(white_.get());
    }
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, white_.get());
        return 1;
    }
    case WM_DESTROY:
        UnregisterDialogNavigation(hwnd_);
        break;
    default:
        break;
    }
    return Window::HandleMessage(msg, wp, lp);
}

} // namespace pb
