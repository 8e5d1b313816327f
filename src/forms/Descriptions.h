#pragma once
#include "forms/Twips.h"
#include <windows.h>

namespace pb {

// Where the option descriptions show: in the box Text1, above the option picture imgGo, which
// lies over the box's lower edge.
constexpr TwipRect kText1Rect{4320, 2520, 3375, 2175};
constexpr TwipRect kImgGoRect{4200, 4200, 3495, 375};

// Gives the box's text its client area down to pictureTop (pixels from the top of the box's
// window), once: the box itself then keeps its edge and margins.
void SetDescriptionArea(HWND box, int pictureTop);

// Whether every description shows whole in a box laid out as Text1 and drawn with this font.
bool DescriptionsFit(HFONT font);

} // namespace pb
