#pragma once
// Dialog-style keyboard navigation (Tab, arrows, mnemonics, Enter and Escape) for the forms,
// which are top-level windows of their own class rather than dialogs.
#include <windows.h>

namespace pb {

void RegisterDialogNavigation(HWND form);
void UnregisterDialogNavigation(HWND form);

} // namespace pb
