#pragma once
#include <functional>
#include <string>
#include <windows.h>

namespace pb {

// Every message box of the program goes through here, so tests can answer them.
using MessageBoxHandler =
    std::function<int(const std::wstring& text, const std::wstring& title, UINT flags)>;

int ShowMessage(const std::wstring& text, const std::wstring& title, UINT flags);

// Replaces the handler; returns the previous one. An empty handler restores the
// real box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The window that owns the program's message boxes (the main window once it
// exists).
void SetMessageBoxOwner(HWND owner);

} // namespace pb
