#pragma once
// The cleaning tasks, in the order a run calls them.
#include <memory>

namespace pb {

class HistoryCleanser;

void ClearCache();
void ClearTypedUrls();
void CleanHistory();
void CleanRecentFolder();
void CleanTempFolder();

// Asks every browser window to close; used by the typed-URL and history tasks.
void CloseBrowserWindows();

// The process-wide view of the URL history that CleanHistory clears, created when the main
// window loads.
extern std::unique_ptr<HistoryCleanser> gCleanser;

} // namespace pb
