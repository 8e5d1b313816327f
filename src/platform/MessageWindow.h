#pragma once
#include <windows.h>

namespace pb {

// A new message-only window of its own class on this thread: where other threads and the
// queue reach this thread's own code. Callers keep one each.
HWND MessageOnlyWindow(const wchar_t* className, WNDPROC procedure);

} // namespace pb
