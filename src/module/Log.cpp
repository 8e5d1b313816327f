#include "forms/frmMain.h"
#include "module/Log.h"
#include "forms/FrameDrawing.h"

namespace pb {

void AddLog(const std::wstring& text) {
    FrmMain& form = MainForm();
    form.List1.AddItem(L"     " + text);
    HoldRedraw(form.Label2->hwnd()); // like the log, drawn at a frame rate
    form.Label2->SetText(text);
}

} // namespace pb
