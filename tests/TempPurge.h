#pragma once
// The temp-folder stage run through the main window, for the purge's tests.
#include "TestSupport.h"
#include "platform/Text.h"
#include "Seams.h"
#include <algorithm>
#include <functional>
#include <memory>

namespace pbtest {

inline std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// `act`, once, at the first pumping point where the purge's list shows two files: the folder is
// listed and no file of it is opened yet.
inline auto OnceListed(HWND fileList, std::function<void()> act) {
    // The flag is shared: the point runs a copy of the hook.
    return pb::seams::pumpingPoint.Use(
        [fileList, act = std::move(act), done = std::make_shared<bool>(false)] {
            if (!*done && SendMessageW(fileList, LB_GETCOUNT, 0, 0) == 2) {
                *done = true;
                act();
            }
        });
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
