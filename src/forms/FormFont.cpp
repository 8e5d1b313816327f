#include "forms/FormFont.h"
#include "forms/Twips.h"
#include "module/Site.h"
#include "platform/Handles.h"

namespace pb {

namespace {

const wchar_t* gDesignFace = nullptr;
constexpr wchar_t kDesignFace[] = L"Comic Sans MS";

// In order of likeness to the design's face.
constexpr const wchar_t* kStandIns[] = {L"Comic Neue",           L"Tahoma",
                                        L"Microsoft Sans Serif", L"Arial",
                                        L"Liberation Sans",      L"DejaVu Sans Condensed"};

// The single-line captions with the least room to spare, and their room in twips (a check
// box's caption shares its width with the box).
struct Room {
    const wchar_t* text;
    int twips;
};
constexpr Room kTightest[] = {{L"Purgebox Website", 1455},
                              {kMakerDomainCaption, 1935},
                              {L"Version 1.0 Beta (build 1)", 1935},
                              {L"Internet Explorer Typed URLs", 2895 - 300}};

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool Installed(const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

HFONT Make(const wchar_t* face, DWORD quality) {
    const int height = -MulDiv(825, ScreenDpi(), 7200);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_SCRIPT,
                       face);
}

bool Fits(HFONT font) {
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, font);
    bool fits = true;
    for (const Room& r : kTightest) {
        SIZE size{};
        GetTextExtentPoint32W(dc, r.text, lstrlenW(r.text), &size);
        fits = fits && size.cx <= TwipsToPixels(r.twips);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return fits;
}

} // namespace

HFONT CreateFormFont() {
    const wchar_t* design = gDesignFace ? gDesignFace : kDesignFace;
    if (Installed(design))
        return Make(design, DEFAULT_QUALITY);
    for (const wchar_t* face : kStandIns) {
        if (!Installed(face))
            continue;
        UniqueFont font(Make(face, NONANTIALIASED_QUALITY));
        if (Fits(font.get()))
            return font.release();
    }
    return Make(design, NONANTIALIASED_QUALITY); // whatever the font mapper finds
}

void OverrideDesignFace(const wchar_t* face) {
    gDesignFace = face;
}

} // namespace pb
