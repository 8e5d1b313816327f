#pragma once
// The program's module: the log helper, the tray and Explorer helpers, the
// cleaning tasks.
#include "history/HistoryCleanser.h"
#include <memory>
#include <string>

namespace pb {

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

// Asks every browser window to close; used by the typed-URL and history tasks.
void CloseBrowserWindows();

} // namespace pb
