#include "forms/FormFont.h"
#include "Seams.h"
#include "forms/Captions.h"
#include "forms/Descriptions.h"
#include "forms/Twips.h"
#include "module/Site.h"
#include "platform/Handles.h"
#include <optional>

namespace pb {

namespace {

constexpr wchar_t kDesignFace[] = L"Comic Sans MS";

// In order of likeness to the design's face.
constexpr const wchar_t* kStandIns[] = {L"Comic Neue",           L"Tahoma",
                                        L"Microsoft Sans Serif", L"Arial",
                                        L"Liberation Sans",      L"DejaVu Sans Condensed"};

// The single-line captions with the least room to spare, and their room in twips (a check
// box's caption shares its width with the box).
struct Room {
    const wchar_t* text;
    double twips;
};
constexpr Room kTightest[] = {
    {kWebsiteLink.text, kWebsiteLink.rect.width},
    {kDomainLink.text, kDomainLink.rect.width},
    {kVersionLine.text, kVersionLine.rect.width},
    {kTypedUrlsOption.text, kTypedUrlsOption.rect.width - kCheckBoxTwips}};

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

} // namespace

bool FaceInstalled(const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

namespace {

// Character heights in pixels, negative as CreateFont takes them.
int HeightOf(int hundredthsOfPoint) {
    return -MulDiv(hundredthsOfPoint, ScreenDpi(), 7200);
}

HFONT Make(const wchar_t* face, int height, DWORD quality) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_SCRIPT,
                       face);
}

bool CaptionsFit(HFONT font) {
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

// The face at the design's size, or at the largest size down to `smallest` (hundredths of a
// point) at which every caption and description fits; null if it fits at none.
UniqueFont LargestThatFits(const wchar_t* face, DWORD quality, int smallest) {
    for (int height = HeightOf(825); height <= HeightOf(smallest); ++height) {
        UniqueFont font(Make(face, height, quality));
        if (CaptionsFit(font.get()) && DescriptionsFit(font.get()))
            return font;
    }
    return {};
}

// The face and size chosen: the same for both windows, chosen once at each DPI.
struct Chosen {
    int dpi; // cppcheck-suppress unusedStructMember ; read where the choice is reused
    LOGFONTW font;
};
std::optional<Chosen>& LastChosen() {
    static std::optional<Chosen> chosen;
    return chosen;
}

UniqueFont ChooseFont() {
    // 8.25 points rounds up to a whole pixel at some DPIs; 8 points is still the design's size.
    // The design's face is worth a point less before another face; the last fallback goes
    // down to what is still legible.
    constexpr int kDesignLeast = 800, kDesignFaceLeast = 700, kLeast = 600;
    const wchar_t* design = seams::designFace ? seams::designFace.get()() : kDesignFace;
    const bool designInstalled = FaceInstalled(design);
    if (designInstalled)
        if (UniqueFont font = LargestThatFits(design, DEFAULT_QUALITY, kDesignFaceLeast))
            return font;
    const std::vector<const wchar_t*> tested =
        seams::standInFaces ? seams::standInFaces.get()() : std::vector<const wchar_t*>();
    for (const wchar_t* face :
         seams::standInFaces ? std::span<const wchar_t* const>(tested) : StandInFaces()) {
        if (!FaceInstalled(face))
            continue;
        if (UniqueFont font = LargestThatFits(face, NONANTIALIASED_QUALITY, kDesignLeast))
            return font;
    }
    // The design's face, or whatever the font mapper finds for it, which may be a wide one.
    const DWORD quality = designInstalled ? DEFAULT_QUALITY : NONANTIALIASED_QUALITY;
    if (UniqueFont font = LargestThatFits(design, quality, kLeast))
        return font;
    return UniqueFont(Make(design, HeightOf(kLeast), quality));
}

} // namespace

HFONT CreateFormFont() {
    // Chosen afresh and not kept while a test names the faces.
    if (seams::designFace || seams::standInFaces)
        return ChooseFont().release();
    // Measuring takes a while under Wine: the About box reuses the main window's choice.
    std::optional<Chosen>& chosen = LastChosen();
    if (!chosen || chosen->dpi != ScreenDpi()) {
        const UniqueFont font = ChooseFont();
        LOGFONTW lf{};
        GetObjectW(font.get(), sizeof lf, &lf);
        chosen = Chosen{ScreenDpi(), lf};
    }
    return CreateFontIndirectW(&chosen->font);
}

std::span<const wchar_t* const> StandInFaces() {
    return kStandIns;
}

} // namespace pb
