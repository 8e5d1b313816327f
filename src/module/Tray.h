#pragma once
// The notification-area icon and the program's life behind it.
#include <windows.h>
#include <shellapi.h>

namespace pb {

// True: unloading the main window ends the program; false: it goes to the tray instead.
extern bool gQuitOnUnload;

// The tray icon: one record for the life of the process, filled by MinimizeToTray.
extern NOTIFYICONDATAA gTrayIcon;
// Adds the tray icon and hides the main window.
void MinimizeToTray();
// Takes the icon out of the notification area, if it is there.
void DeleteTrayIcon();
// After the taskbar was re-created: puts back the icon that should be there.
void RestoreTrayIcon();

// Ends the program at once, leaving no tray icon behind.
void EndProgram();

} // namespace pb
