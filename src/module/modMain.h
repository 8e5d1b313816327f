#pragma once
// The program's module: the log helper, the tray and Explorer helpers, the
// cleaning tasks.
#include <windows.h>
#include <shellapi.h>
#include <memory>
#include <string>

namespace pb {

class HistoryCleanser;

// The one writer of the activity log and the status line.
void AddLog(const std::wstring& text);

// The process-wide view of the URL history, created when the main window loads.
extern std::unique_ptr<HistoryCleanser> gCleanser;

// True: unloading the main window ends the program; false: it goes to the tray
// instead.
extern bool gQuitOnUnload;

// The cleaning tasks, in the order a run calls them.
void ClearCache();
void ClearTypedUrls();
void CleanHistory();
void CleanRecentFolder();
void CleanTempFolder();

// The tray icon: one record for the life of the process, filled by MinimizeToTray.
extern NOTIFYICONDATAA gTrayIcon;
// Adds the tray icon and hides the main window.
void MinimizeToTray();
// Takes the icon out of the notification area, if it is there.
void DeleteTrayIcon();
// After the taskbar was re-created: puts back the icon that should be there.
void RestoreTrayIcon();
bool TrayIconShown();

// Ends the program at once, leaving no tray icon behind.
void EndProgram();

// The Windows directory, without a trailing backslash.
std::wstring GetWindowsDir();
// An address on the maker's site, from its path there.
std::wstring SiteAddress(const wchar_t* path);
// Opens a page in the browser by starting Windows Explorer with it; says so if it cannot.
void OpenWebPage(const std::wstring& address);

// Asks every browser window to close; used by the typed-URL and history tasks.
void CloseBrowserWindows();

} // namespace pb
