#pragma once
// Drives purgebox.exe from the outside, as a person would: it finds the window and its
// controls by their texts, moves the pointer, clicks, answers message boxes and picks tray
// menu items, and reads the screen back as an accessibility tool would.
#include "forms/frmMainIds.h"
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// The program under test, as given on the command line.
std::wstring& ProgramPath();

// A path as Windows programs under Wine take it: a Unix path becomes one on drive Z:.
std::wstring ToWindowsPath(std::string path);

// Handles this process's own windows while waiting (a helper window may be asked to close).
void PumpFor(DWORD ms);

// A visible top-level window of this process and class (and title, unless null), once it is
// there; null if it did not come within the time.
HWND WaitForWindow(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs);

// Another program asking the window something every 2 ms, as accessibility tools do; keeps the
// longest time the window took to answer.
class AnswerProbe {
  public:
    explicit AnswerProbe(HWND window);
    ~AnswerProbe() { Stop(); }
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    // Stops asking; the longest answer in milliseconds.
    double Stop();

  private:
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
    std::thread thread_;
};

class App {
  public:
    App();
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    HWND main() const { return main_; }
    DWORD pid() const { return pi_.dwProcessId; }
    bool Running() const;
    bool WaitExit(DWORD ms);
    void Kill();

    // A child control by its caption; by its id where it has none.
    HWND Control(const std::wstring& caption) const;
    HWND ControlById(int id) const { return GetDlgItem(main_, id); }
    HWND LogList() const { return ControlById(pb::idList1); }
    HWND TrayWindow() const { return ControlById(pb::idPicture1); }

    // Waits until the program has handled everything sent so far.
    void Sync() const;
    void Click(HWND control) const;
    void Hover(HWND control) const;
    bool Visible(HWND h) const { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }
    int Check(HWND box) const { return static_cast<int>(SendMessageW(box, BM_GETCHECK, 0, 0)); }
    static std::wstring Text(HWND h);
    std::vector<std::wstring> Log() const;

    // The program's next message box: its text, after pressing OK on it once it has been open
    // for `readMs`, as long as a person takes to read it.
    std::wstring AnswerMessageBox(DWORD timeoutMs = 120000, DWORD readMs = 0) const;
    // Right-clicks the tray icon and picks the item with this caption.
    bool PickTrayItem(const std::wstring& caption) const;
    // Runs "Clear Now!" with these boxes ticked and returns the log once it completed.
    std::vector<std::wstring> Run(const std::vector<std::wstring>& boxes);

  private:
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

// The Recent folder and the temp folder the program will see.
std::wstring RecentFolder();

} // namespace e2e
