#pragma once
#include <windows.h>

namespace pb {

// The one font of every control on both windows: the design's "Comic Sans MS" at 8.25
// points. Where that face is missing (a plain Wine prefix, a Windows without it), a stand-in
// that is present and whose text fits the design's boxes, drawn without half-tone edges:
// thin faces at 8 points otherwise read as greyed-out text.
HFONT CreateFormFont();

// For tests: look for this face instead of the design's (null restores it).
void OverrideDesignFace(const wchar_t* face);

} // namespace pb
