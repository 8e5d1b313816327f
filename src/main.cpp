#include "forms/frmMain.h"
#include "platform/Errors.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        pb::ComApartment com;
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        pb::FrmMain form;
        form.Load();
        form.Show();
        return pb::RunMessageLoop();
    } catch (const std::exception& e) {
        pb::ReportFatalError(e);
        return 1;
    }
}
