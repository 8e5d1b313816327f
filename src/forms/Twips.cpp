#include "forms/Twips.h"
#include "Seams.h"

namespace pb {

int ScreenDpi() {
    if (seams::screenDpi)
        return seams::screenDpi.get()();
    static const int dpi = [] {
        HDC dc = GetDC(nullptr);
        const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

} // namespace pb
