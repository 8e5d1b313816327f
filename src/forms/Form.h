#pragma once
#include "forms/Graphic.h"
#include "forms/Layout.h"
#include "platform/Handles.h"
#include <memory>
#include <span>
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
    // Makes the controls of a layout table, in its order, and gives each to its member.
    void CreateControls(std::span<const ControlRow> rows);
    std::unique_ptr<Graphic> MakeGraphic(Graphic::Kind kind, int id, const wchar_t* text,
                                         const TwipRect& rc, bool visible, DWORD style = 0);
    HWND MakeControl(const wchar_t* cls, const wchar_t* text, DWORD style, const TwipRect& rc,
                     int id, DWORD exStyle = 0);
    // Controls made otherwise take their place in the tab order here.
    void AddToTabOrder(HWND control) { tabOrder_.push_back(control); }
    // Pictures that lie under transparent controls.
    void AddBackdropImage(const Graphic* image) { backdropImages_.push_back(image); }
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    // Clicks and picks, closing, the system menu, a control's own menu. Asking and painting are
    // not among them.
    bool StartsSomething(UINT msg, WPARAM wp, LPARAM lp) const override;
    HICON SmallIcon() const { return smallIcon_.get(); }
    // The push button that Enter presses while the focus is on no other push button, as in a
    // dialog (0: none, and Enter then presses only a focused button).
    void SetDefaultButton(int id);
    // Hides a control; if it has the focus, the focus goes on to the next control first.
    void HideControl(const WindowRef& control);

  private:
    void PaintBackdrop(HDC dc, const RECT& rcInForm, const Graphic* above) override;
    bool MoveFocusByTab(const MSG& key);
    // Gives the focus to the next control in the tab order after `from` (or before it).
    bool MoveFocusOn(HWND from, bool back);
    // Gives this push button (or none) the default button's look, and every other the plain one.
    void ShowAsDefault(HWND button);
    void OnButtonFocus(bool gained, HWND buttonOrNext);
    // A push button among the controls made: it shows as the default while it has the focus.
    void TrackPushButton(HWND control, const wchar_t* cls, DWORD style);

    UniqueFont font_;
    UniqueBrush white_;
    UniqueIcon icon_, smallIcon_;
    double clientWidthTwips_ = 0, clientHeightTwips_ = 0;
    std::vector<const Graphic*> backdropImages_;
    std::vector<HWND> tabOrder_; // the creation order, whatever the z-order
    std::vector<HWND> pushButtons_;
    int defaultButton_ = 0;
    HWND lastFocus_ = nullptr; // where the focus was when the window was last deactivated
};

} // namespace pb
