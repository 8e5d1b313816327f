#pragma once
#include <windows.h>

namespace pb {

// Form geometry is designed in twips (1440 per inch); this is the one
// conversion to pixels.
constexpr int kTwipsPerInch = 1440;

int ScreenDpi();

inline int TwipsToPixels(double twips) {
    const double px = twips * ScreenDpi() / kTwipsPerInch;
    return static_cast<int>(px < 0 ? px - 0.5 : px + 0.5);
}

struct TwipRect {
    double left, top, width, height;
    RECT ToPixels() const {
        const int l = TwipsToPixels(left), t = TwipsToPixels(top);
        return RECT{l, t, l + TwipsToPixels(width), t + TwipsToPixels(height)};
    }
};

} // namespace pb
