#pragma once
#include <stdexcept>
#include <string>
#include <windows.h>

namespace pb {

// A failed COM call: carries the HRESULT so the top-level handler can name it.
class HResultError : public std::runtime_error {
  public:
    HResultError(HRESULT hr, const std::string& where);
    HRESULT code() const { return hr_; }

  private:
    HRESULT hr_;
};

// Every negative HRESULT becomes an error; S_FALSE and other success codes
// pass.
inline void ThrowIfFailed(HRESULT hr, const char* where) {
    if (FAILED(hr))
        throw HResultError(hr, where);
}

// The one top-level handler: runs the cleanup, names the error in a message box, then ends
// the process.
void ReportFatalError(const std::exception& e);
void ReportFatalUnknown();
// What must not outlive the process, such as the tray icon, goes before the message.
void SetFatalCleanup(void (*cleanup)());

} // namespace pb
