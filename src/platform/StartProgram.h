#pragma once
#include <windows.h>
#include <string>

namespace pb {

// Starts a program from a command line without waiting for it. Returns 0, or the system's
// error code when it could not be started.
DWORD StartProgram(const std::wstring& commandLine, int showState);

} // namespace pb
