#pragma once
// The captions with the least room to spare: the layouts place them, and the font is chosen so
// that they fit.
#include "forms/Twips.h"
#include "module/Site.h"

namespace pb {

struct PlacedCaption {
    const wchar_t* text;
    TwipRect rect;
};

inline constexpr PlacedCaption kWebsiteLink{L"Purgebox Website", {3840, 6600, 1455, 255}};
inline constexpr PlacedCaption kDomainLink{kMakerDomainCaption, {5640, 6600, 1935, 255}};
inline constexpr PlacedCaption kTypedUrlsOption{L"Internet Explorer Typed URLs",
                                                {1080, 2880, 2895, 255}};
inline constexpr PlacedCaption kVersionLine{L"Version 1.0 Beta (build 1)", {1373, 1080, 1935, 255}};
// What of a check box's width its box takes from the caption.
inline constexpr double kCheckBoxTwips = 300;

} // namespace pb
