#include "module/modMain.h"
#include <windows.h>

namespace pb {

void CleanHistory() {
    CloseBrowserWindows();
    Sleep(200); // the browser keeps the history open while it runs
    gCleanser->Clear();
}

} // namespace pb
