#pragma once
#include "forms/frmMain.h"
#include "Scratch.h"
#include "platform/MessageBox.h"
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace pbtest {

struct ShownMessage {
    std::wstring text, title;
    UINT flags;
};

// Every message box the code under test shows, answered with OK instead of
// blocking.
std::vector<ShownMessage>& Messages();

// Whether the shell shows the program's icon: it answers a change to it.
bool TrayIconPresent();

// How many times the program would have ended (tests take the ending instead).
int& ProgramEnds();

// A loaded, shown main window for one test; message boxes are recorded.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    pb::FrmMain& form() { return *form_; }
    std::vector<std::wstring> LogLines() const;
    static void MouseMove(HWND control);
    static void Click(HWND control);

    std::unique_ptr<pb::FrmMain> form_;
};

// Lets the window handle what is queued for it.
void Pump();

// The files directly in a folder as a purge lists them: hidden and system files, folders and
// links to folders left out. A folder that cannot be opened ("?", empty, missing) lists
// nothing.
std::vector<std::wstring> ListFolderFiles(const std::wstring& folder);
// Whether a purge refuses the folder at this path; one that cannot be opened holds nothing to
// refuse.
bool HoldsUsersOwnFiles(const std::wstring& folder);

} // namespace pbtest

namespace pbtest {

// Points HKEY_CURRENT_USER at an empty scratch key for the test's lifetime.
class ScratchHkcu {
  public:
    ScratchHkcu();
    ~ScratchHkcu();
    ScratchHkcu(const ScratchHkcu&) = delete;
    ScratchHkcu& operator=(const ScratchHkcu&) = delete;

  private:
    HKEY key_ = nullptr;
    std::wstring name_;
};

bool KeyExists(HKEY root, const wchar_t* path);

} // namespace pbtest
