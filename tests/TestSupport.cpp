#include "Seams.h"
#include "TestSupport.h"
#include "module/FolderDeleter.h"
#include "module/RefusedFolders.h"
#include "module/Tray.h"
#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include "platform/Pump.h"

namespace pbtest {

std::vector<ShownMessage>& Messages() {
    static std::vector<ShownMessage> messages;
    return messages;
}

void Pump() {
    pb::PumpAfterWait(true); // a pumping point that always looks at the queue
}

bool TrayIconPresent() {
    NOTIFYICONDATAA probe = pb::gTrayIcon;
    return probe.cbSize && Shell_NotifyIconA(NIM_MODIFY, &probe);
}

int& ProgramEnds() {
    static int ends = 0;
    return ends;
}

void MainWindowTest::SetUp() {
    Messages().clear();
    ProgramEnds() = 0;
    form_ = std::make_unique<pb::FrmMain>();
    form_->Load();
    form_->Show();
    Pump();
}

void MainWindowTest::TearDown() {
    form_.reset();
    Pump();
}

std::vector<std::wstring> MainWindowTest::LogLines() const {
    std::vector<std::wstring> lines;
    for (int i = 0; i < form_->List1.Count(); ++i)
        lines.push_back(form_->List1.Item(i));
    return lines;
}

void MainWindowTest::MouseMove(HWND control) {
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
}

void MainWindowTest::Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

} // namespace pbtest

namespace pbtest {

ScratchHkcu::ScratchHkcu()
    : name_(L"Software\\PurgeboxTests\\hkcu" + std::to_wstring(GetTickCount())) {
    RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, key_);
}

ScratchHkcu::~ScratchHkcu() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
}

bool KeyExists(HKEY root, const wchar_t* path) {
    HKEY k;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

} // namespace pbtest

namespace pbtest {

std::vector<std::wstring> ListFolderFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    const std::optional<pb::HeldFolder> held = pb::HeldFolder::Open(folder);
    if (auto entries = held ? pb::ListFolderEntries(*held) : std::nullopt)
        std::ranges::transform(*entries, std::back_inserter(names),
                               [](pb::FolderEntry& entry) { return std::move(entry.name); });
    return names;
}

bool HoldsUsersOwnFiles(const std::wstring& folder) {
    const std::optional<pb::HeldFolder> held = pb::HeldFolder::Open(folder);
    return held && pb::RefusalOf(*held).refused;
}

} // namespace pbtest
