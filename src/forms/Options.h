#pragma once
// The cleaning options, one row each, in the controls' order (Check1 to Check5, the order of
// "Select All" and of the tab stops). The run, "Select All", the clicks, the mouse moves and the
// descriptions are all taken from these rows: a new option is a row here, its line in the
// layout, its task and its picture.
#include "forms/frmMain.h"
#include <array>

namespace pb {

struct Option {
    CheckBox FrmMain::*box;
    int id;
    const wchar_t* caption;
    const wchar_t* description;
    std::unique_ptr<Graphic> FrmMain::*picture; // shown beside the description
    void (*task)();
    int stage; // its place in the run, from 1: the order of the boxes on screen
    // The progress fill's width once its stage is done: this share of the frame's width, plus
    // `fillTwips`; and whether the window then handles what is pending.
    double fillShare, fillTwips;
    bool pumpsAfter;
};

extern const std::array<Option, 5> kOptions;

// The options in the order the run takes them.
std::array<const Option*, 5> OptionsInRunOrder();

} // namespace pb
