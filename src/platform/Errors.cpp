#include "platform/Errors.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include <cstdio>

namespace pb {

namespace {
FatalHook gFatalHook = nullptr;

std::string Describe(HRESULT hr, const std::string& where) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return where + " failed with HRESULT " + code;
}

[[noreturn]] void Fatal(const std::wstring& message) {
    if (gFatalHook) {
        gFatalHook(message);
    } else {
        ShowMessage(L"Unexpected error: " + message + L"\n\nPurgebox will now close.", L"Purgebox",
                    MB_OK | MB_ICONERROR);
    }
    ExitProcess(1);
}
} // namespace

HResultError::HResultError(HRESULT hr, const std::string& where)
    : std::runtime_error(Describe(hr, where)), hr_(hr) {}

void ReportFatalError(const std::exception& e) {
    Fatal(Widen(e.what()));
}
void ReportFatalUnknown() {
    Fatal(L"unknown error");
}
void SetFatalHook(FatalHook hook) {
    gFatalHook = hook;
}

} // namespace pb
