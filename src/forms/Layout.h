#pragma once
// A form's layout as data: one row per control, in creation order, which is the tab order
// and, where controls overlap, the z-order (first on top).
#include "forms/Graphic.h"
#include "forms/Twips.h"
#include <memory>
#include <variant>

namespace pb {

struct ControlRow {
    enum class Kind {
        CheckBox,   // three-state, ticked and unticked by clicks; its mouse moves reach the form
        Button,     // push button
        ListBox,    // of strings
        TextBox,    // edit control
        Image,      // picture stretched to the control; what it shows lies under labels
        PictureBox, // picture at its own size on the background
        Label,      // text on a transparent background
        Frame,      // rectangle outline
        Fill,       // solid rectangle
        Line,       // horizontal rule
        Browser,    // the system's web browser control, where there is one
    };
    Kind kind;
    // The form's member the control is given to.
    std::variant<WindowRef*, std::unique_ptr<Graphic>*> control;
    int id;
    const wchar_t* caption;
    TwipRect rect; // left, top, width, height
    bool visible;
    DWORD style = 0, exStyle = 0; // beyond the kind's own
    Picture picture{};
};

constexpr bool kShown = true, kHidden = false;

} // namespace pb
