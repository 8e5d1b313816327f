#include "module/Log.h"
#include "module/Tasks.h"
#include "platform/Waits.h"
#include <windows.h>

namespace pb {

void ClearTypedUrls() {
    CloseBrowserWindows();
    SleepAnswering(200); // give the browser windows a moment to close and let go of the key
    const LSTATUS rc =
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\TypedURLs");
    // A key that is already gone is as clean as one just deleted.
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND)
        AddLog(L"  Clearing Typed URLs...Done");
    else
        AddLog(L"  Clearing Typed URLs...Failed, error " + std::to_wstring(rc));
}

} // namespace pb
