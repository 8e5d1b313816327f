#pragma once
#include <windows.h>

namespace pb {

// A message-only window of its own class on this thread, made once: where other threads and
// the queue reach this thread's own code.
HWND MessageOnlyWindow(const wchar_t* className, WNDPROC procedure);

} // namespace pb
