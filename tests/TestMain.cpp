#include "Seams.h"
#include "TestSupport.h"
#include "platform/Errors.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include <commctrl.h>
#include <cstdio>

namespace {
void FailLoudly(const std::wstring& message) {
    // An error reached the top-level handler: in a test that is a failure, not a
    // dialog.
    std::fwprintf(stderr, L"FATAL: unhandled error reached the top level: %ls\n", message.c_str());
    std::fflush(stderr);
    ADD_FAILURE() << "an error reached the top-level handler";
}
} // namespace

int main(int argc, char** argv) {
    pb::ComApartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const auto fatal = pb::seams::fatalError.Use(&FailLoudly);
    const auto boxes = pb::seams::messageBox.Use(
        [](const std::wstring& text, const std::wstring& title, UINT flags) {
            pbtest::Messages().push_back({text, title, flags});
            return IDOK;
        });
    const auto end = pb::seams::endProgram.Use([] { ++pbtest::ProgramEnds(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
