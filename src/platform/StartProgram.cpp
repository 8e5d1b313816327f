#include "platform/StartProgram.h"
#include "Seams.h"
#include "platform/Handles.h"

namespace pb {

DWORD StartProgram(const std::wstring& commandLine, int showState) {
    if (const auto h = seams::startProgram.get())
        return h(commandLine, showState);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION pi{};
    std::wstring mutableLine = commandLine; // CreateProcessW may write into it
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return GetLastError();
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    return 0;
}

} // namespace pb
