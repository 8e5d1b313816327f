#pragma once
#include <string>
#include <windows.h>

namespace pb {

// A modal box on the window's thread. It is no pumping point: what would start something
// (a click's command, a close) waits until after it, as during a task; a click on the tray
// icon only brings the box to the front.
int ShowMessage(const std::wstring& text, const std::wstring& title, UINT flags);

// The window that owns the program's message boxes (the main window once it
// exists).
void SetMessageBoxOwner(HWND owner);

// While a box of ours is up, a click on the tray icon brings it to the front, as a taskbar
// button does for a window with a modal box, and starts nothing.
bool MessageBoxUp();
void BringMessageBoxToFront();

} // namespace pb
