#include "module/Log.h"
#include "module/Tasks.h"
#include "history/HistoryCleanser.h"
#include "module/StoreResidue.h"
#include "platform/Waits.h"
#include <windows.h>
#include <string>
#include <vector>

namespace pb {

std::unique_ptr<HistoryCleanser> gCleanser;

void CleanHistory() {
    CloseBrowserWindows();
    SleepAnswering(200); // the browser keeps the history open while it runs
    gCleanser->Clear();
    std::vector<std::wstring> remains;
    RunOnWorkerThread([&] { remains = ScrubDeletedRecords({UrlStore::History}, L"history"); });
    for (const std::wstring& line : remains)
        AddLog(line);
}

} // namespace pb
