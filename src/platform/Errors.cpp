#include "platform/Errors.h"
#include "Seams.h"
#include "platform/HeldMessages.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include <cstdio>
#include <utility>

namespace pb {

namespace {
void (*gFatalCleanup)() = nullptr;

std::string Describe(HRESULT hr, const std::string& where) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return where + " failed with HRESULT " + code;
}

void Fatal(const std::wstring& message) {
    // Whatever the box's loop meets (a click queued before it, a tray callback) starts nothing
    // and puts no icon back.
    const EndingAfterError ending;
    if (gFatalCleanup)
        gFatalCleanup();
    // Under test the message fails the test instead of ending the process.
    if (const auto test = seams::fatalError.get()) {
        test(message);
        return;
    }
    ShowMessage(L"Unexpected error: " + message + L"\n\nPurgebox will now close.", L"Purgebox",
                MB_OK | MB_ICONERROR);
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
void SetFatalCleanup(void (*cleanup)()) {
    gFatalCleanup = cleanup;
}

} // namespace pb
