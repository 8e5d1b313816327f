#include "forms/frmMain.h"
#include "history/HistoryCleanser.h"
#include "module/modMain.h"
#include "forms/FrameDrawing.h"

namespace pb {

bool gQuitOnUnload = false;
std::unique_ptr<HistoryCleanser> gCleanser;

void AddLog(const std::wstring& text) {
    FrmMain& form = MainForm();
    form.List1.AddItem(L"     " + text);
    HoldRedraw(form.Label2->hwnd()); // like the log, drawn at a frame rate
    form.Label2->SetText(text);
}

} // namespace pb
