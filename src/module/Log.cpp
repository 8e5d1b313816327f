#include "forms/frmMain.h"
#include "module/modMain.h"

namespace pb {

bool gQuitOnUnload = false;
std::unique_ptr<HistoryCleanser> gCleanser;

void AddLog(const std::wstring& text) {
    FrmMain& form = MainForm();
    form.List1.AddItem(L"     " + text);
    form.Label2->SetText(text);
}

} // namespace pb
