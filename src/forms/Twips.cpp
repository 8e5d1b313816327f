#include "forms/Twips.h"

namespace pb {

namespace {
int gDpiOverride = 0;
}

int ScreenDpi() {
    if (gDpiOverride)
        return gDpiOverride;
    static const int dpi = [] {
        HDC dc = GetDC(nullptr);
        const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

void OverrideScreenDpi(int dpi) {
    gDpiOverride = dpi;
}

} // namespace pb
