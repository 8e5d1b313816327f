#pragma once
// The temp-folder stage run through the main window, for the purge's tests.
#include "TestSupport.h"
#include "platform/Text.h"
#include <algorithm>

namespace pbtest {

inline std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class TempPurge : public MainWindowTest {
  protected:
    TempPurge() : dir_(L"temp"), tmp_(dir_.path() + L"\\") {}
    void RunTempStage() {
        form().Check5.SetValue(1);
        SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    }
    // The lines the purge wrote, between the run's own frame lines.
    std::vector<std::wstring> PurgeLines() const {
        auto lines = LogLines();
        return {lines.begin() + 2, lines.end() - 2};
    }
    ScratchDir dir_;
    TempDirOverride tmp_;
};

} // namespace pbtest
