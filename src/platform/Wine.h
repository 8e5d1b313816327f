#pragma once
#include "platform/Handles.h"

namespace pb {

// True under Wine, which has ways of its own: Unix paths and homes, stores that keep what
// they delete.
inline bool UnderWine() {
    static const bool wine =
        ProcAddress<void*>(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

} // namespace pb
