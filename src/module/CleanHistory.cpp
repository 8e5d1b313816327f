#include "module/modMain.h"
#include "history/HistoryCleanser.h"
#include "platform/Waits.h"
#include <windows.h>

namespace pb {

void CleanHistory() {
    CloseBrowserWindows();
    SleepAnswering(200); // the browser keeps the history open while it runs
    gCleanser->Clear();
}

} // namespace pb
