#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace pb {

// Starts a program from a command line without waiting for it. Returns 0, or the system's
// error code when it could not be started.
DWORD StartProgram(const std::wstring& commandLine, int showState);

// Tests capture the command line instead of starting anything.
using StartProgramHandler = std::function<DWORD(const std::wstring&, int)>;
StartProgramHandler SetStartProgramHandler(StartProgramHandler handler);

} // namespace pb
