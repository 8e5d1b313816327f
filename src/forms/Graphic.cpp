#include "forms/Graphic.h"
#include "platform/Handles.h"
#include "platform/WindowMessages.h"
#include <algorithm>
#include <utility>

namespace pb {

namespace {
constexpr wchar_t kClassName[] = L"PurgeboxGraphic";
}

Graphic::Graphic(Kind kind, HWND parent, int id, const wchar_t* text, const TwipRect& rc,
                 bool visible, Backdrop* backdrop, HFONT font, DWORD style)
    : kind_(kind), backdrop_(backdrop), font_(font), widthTwips_(static_cast<float>(rc.width)) {
    RegisterClassOnce(kClassName);
    CreateWindowFor(kClassName, text,
                    WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0) | style, 0,
                    rc.ToPixels(), parent, id);
}

void Graphic::SetPicture(const Picture& p) {
    picture_ = p;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Graphic::SetTextColor(COLORREF c) {
    if (c == textColor_)
        return;
    textColor_ = c;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Graphic::SetWidthTwips(float twips) {
    widthTwips_ = twips;
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&rc), 2);
    SetWindowPos(hwnd_, nullptr, 0, 0, TwipsToPixels(twips), rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Graphic::DrawPicture(HDC dc, const RECT& rc) const {
    if (picture_.icon) {
        DrawIconEx(dc, rc.left, rc.top, picture_.icon, rc.right - rc.left, rc.bottom - rc.top, 0,
                   nullptr, DI_NORMAL);
    } else if (picture_.bitmap) {
        BITMAP bm{};
        GetObjectW(picture_.bitmap, sizeof bm, &bm);
        const UniqueDC memory(CreateCompatibleDC(dc));
        const HDC mem = memory.get();
        const HGDIOBJ old = SelectObject(mem, picture_.bitmap);
        const int width = rc.right - rc.left, height = rc.bottom - rc.top;
        if (width == bm.bmWidth && height == bm.bmHeight) {
            // At the size it was drawn for (96 dots per inch): half-toning costs Wine a pass
            // over every pixel at every paint.
            BitBlt(dc, rc.left, rc.top, width, height, mem, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, rc.left, rc.top, width, height, mem, 0, 0, bm.bmWidth, bm.bmHeight,
                       SRCCOPY);
        }
        SelectObject(mem, old);
    }
}

void Graphic::Paint(HDC dc) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const bool transparent = kind_ == Kind::Label || kind_ == Kind::Frame || kind_ == Kind::Line;
    if (transparent && backdrop_) {
        RECT inForm = rc;
        MapWindowPoints(hwnd_, GetParent(hwnd_), reinterpret_cast<POINT*>(&inForm), 2);
        POINT oldOrg;
        SetViewportOrgEx(dc, -inForm.left, -inForm.top, &oldOrg);
        backdrop_->PaintBackdrop(dc, inForm, this);
        SetViewportOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
    }
    switch (kind_) {
    case Kind::Image:
        DrawPicture(dc, rc);
        break;
    case Kind::PictureBox: {
        const UniqueBrush bg(CreateSolidBrush(fillColor_));
        FillRect(dc, &rc, bg.get());
        if (picture_.bitmap) {
            BITMAP bm{};
            GetObjectW(picture_.bitmap, sizeof bm, &bm);
            // Shown at its own size: its pixels were drawn for 96 dots per inch.
            const RECT pic{0, 0, MulDiv(bm.bmWidth, ScreenDpi(), 96),
                           MulDiv(bm.bmHeight, ScreenDpi(), 96)};
            DrawPicture(dc, pic);
        } else if (picture_.icon) {
            DrawPicture(dc, rc);
        }
        break;
    }
    case Kind::Label: {
        const std::wstring text = Text();
        HGDIOBJ oldFont = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, textColor_);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
                  (centered_ ? DT_CENTER : DT_LEFT) | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        break;
    }
    case Kind::Frame: {
        HBRUSH border = GetSysColorBrush(COLOR_WINDOWTEXT);
        FrameRect(dc, &rc, border);
        break;
    }
    case Kind::Fill: {
        const UniqueBrush fill(CreateSolidBrush(fillColor_));
        FillRect(dc, &rc, fill.get());
        break;
    }
    case Kind::Line: {
        RECT line{rc.left, rc.top, rc.right, rc.top + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_WINDOWTEXT));
        break;
    }
    }
}

// While drawing is held (a label written once per file of a purge), its text lives here:
// under Wine the window's own copy is kept by the server, one round trip per change. Readers
// in this process ask the window and get this text; the server's copy, which other programs
// read, catches up with the drawing, at least once a frame.
LRESULT Graphic::HeldText(UINT msg, WPARAM wp, LPARAM lp) {
    const std::wstring& text = *heldText_;
    if (msg == WM_GETTEXTLENGTH)
        return static_cast<LRESULT>(text.size());
    auto* buffer = reinterpret_cast<wchar_t*>(lp);
    if (!buffer || wp == 0)
        return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(wp) - 1);
    std::copy_n(text.c_str(), n, buffer);
    buffer[n] = L'\0';
    return static_cast<LRESULT>(n);
}

LRESULT Graphic::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        Paint(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: // as shown: for magnifiers, window animation and the like
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        if (heldText_)
            return HeldText(msg, wp, lp);
        break;
    case WM_SETTEXT: {
        if (!redraw_) {
            heldText_ = lp ? reinterpret_cast<const wchar_t*>(lp) : L"";
            return TRUE;
        }
        heldText_.reset();
        const LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
        if (kind_ == Kind::Label)
            InvalidateRect(hwnd_, nullptr, FALSE);
        return r;
    }
    case WM_SETREDRAW:
        // Kept here rather than in DefWindowProc, which would drop WS_VISIBLE
        // meanwhile.
        redraw_ = wp != 0;
        if (redraw_ && heldText_) {
            const std::wstring text = *std::exchange(heldText_, std::nullopt);
            DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        return 0;
    case WM_NCHITTEST:
        // Shapes and lines take no mouse input: it goes to what lies beneath.
        if (kind_ == Kind::Frame || kind_ == Kind::Fill || kind_ == Kind::Line)
            return HTTRANSPARENT;
        break;
    case WM_MOUSEMOVE:
        SendMessageW(GetParent(hwnd_), kMsgChildMouseMove, GetDlgCtrlID(hwnd_), lp);
        return 0;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        return 0;
    case WM_LBUTTONUP:
        if (std::exchange(pressed_, false))
            SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), STN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd_));
        return 0;
    default:
        break;
    }
    return Window::HandleMessage(msg, wp, lp);
}

} // namespace pb
