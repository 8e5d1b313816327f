#pragma once
#include "forms/Graphic.h"
#include "platform/Handles.h"
#include <memory>
#include <vector>

namespace pb {

// What the program's two windows share: a fixed-size, white, top-level window laid out in
// twips, one font for every control, and pictures that show through transparent controls.
class Form : public Window, public Backdrop {
  public:
    ~Form() override;

  protected:
    Form() = default;
    // Creates the window with a client area of the given size (twips) at the screen's DPI.
    void CreateForm(const wchar_t* className, const wchar_t* caption, double clientWidthTwips,
                    double clientHeightTwips, int iconId);
    // Sets the client area back to its design size.
    void KeepDesignSize();
    std::unique_ptr<Graphic> MakeGraphic(Graphic::Kind kind, int id, const wchar_t* text,
                                         const TwipRect& rc, bool visible);
    HWND MakeControl(const wchar_t* cls, const wchar_t* text, DWORD style, const TwipRect& rc,
                     int id, DWORD exStyle = 0);
    // Controls made otherwise take their place in the tab order here.
    void AddToTabOrder(HWND control) { tabOrder_.push_back(control); }
    // Pictures that lie under transparent controls.
    void AddBackdropImage(const Graphic* image) { backdropImages_.push_back(image); }
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    HICON BigIcon() const { return icon_.get(); }

  private:
    void PaintBackdrop(HDC dc, const RECT& rcInForm, const Graphic* above) override;
    bool MoveFocusByTab(const MSG& key);

    UniqueFont font_;
    UniqueBrush white_;
    UniqueIcon icon_, smallIcon_;
    double clientWidthTwips_ = 0, clientHeightTwips_ = 0;
    std::vector<const Graphic*> backdropImages_;
    std::vector<HWND> tabOrder_; // the creation order, whatever the z-order
};

} // namespace pb
