#pragma once
#include <span>
#include <windows.h>

namespace pb {

// The one font of every control on both windows: the design's "Comic Sans MS" at 8.25
// points, or at 8 where 8.25 rounds to a pixel too many for the text to fit. Where that face is
// missing (a plain Wine prefix, a Windows without it), the first stand-in present whose
// captions and option descriptions fit the same way, drawn without half-tone edges: thin
// faces at 8 points otherwise read as greyed-out text. Where none fits, the design's face or
// whatever the font mapper finds for it, at the largest size down to 6 points that fits.
HFONT CreateFormFont();

// The stand-ins, in the order they are tried.
std::span<const wchar_t* const> StandInFaces();
bool FaceInstalled(const wchar_t* face);

} // namespace pb
