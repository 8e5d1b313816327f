#pragma once
#include "forms/Twips.h"
#include "forms/Window.h"
#include <optional>
#include <string>

namespace pb {

// A picture a graphic shows: a bitmap or an icon, compared by value (same
// handles).
struct Picture {
    HBITMAP bitmap = nullptr;
    HICON icon = nullptr;
    bool operator==(const Picture&) const = default;
    bool Empty() const { return !bitmap && !icon; }
};

class Graphic;

// The form beneath a transparent graphic: paints what shows through it.
class Backdrop {
  public:
    virtual void PaintBackdrop(HDC dc, const RECT& rcInForm, const Graphic* above) = 0;

  protected:
    ~Backdrop() = default;
};

// The form's lightweight controls (images, labels, shapes, lines, picture
// boxes), each still a real child window so that tests and accessibility tools
// can find it.
class Graphic : public Window {
  public:
    enum class Kind {
        Image,      // picture stretched to the control, opaque
        PictureBox, // picture at its own size on the background colour
        Label,      // text on a transparent background
        Frame,      // rectangle outline, transparent inside
        Fill,       // solid rectangle, no border
        Line,       // horizontal rule
    };

    Graphic(Kind kind, HWND parent, int id, const wchar_t* text, const TwipRect& rc, bool visible,
            Backdrop* backdrop, HFONT font, DWORD style = 0);

    Kind kind() const { return kind_; }
    const Picture& picture() const { return picture_; }
    void SetPicture(const Picture& p);
    void SetTextColor(COLORREF c);
    void SetFillColor(COLORREF c) { fillColor_ = c; }
    void SetCentered(bool centered) { centered_ = centered; }
    // Width in twips, kept as the single-precision value last set.
    float WidthTwips() const { return widthTwips_; }
    void SetWidthTwips(float twips);
    // Draws the picture into rc (in this control's client coordinates).
    void DrawPicture(HDC dc, const RECT& rc) const;

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    void Paint(HDC dc);
    LRESULT HeldText(UINT msg, WPARAM wp, LPARAM lp);

    Kind kind_;
    Backdrop* backdrop_;
    HFONT font_;
    Picture picture_;
    COLORREF textColor_ = RGB(0, 0, 0);
    COLORREF fillColor_ = RGB(255, 255, 255);
    float widthTwips_;
    bool pressed_ = false;
    bool redraw_ = true;
    bool centered_ = false;
    // Text set while drawing is held; the window's own copy follows when drawing resumes.
    std::optional<std::wstring> heldText_;
};

} // namespace pb
