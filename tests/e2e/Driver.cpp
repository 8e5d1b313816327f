#include "Driver.h"
#include <shlobj.h>
#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace e2e {

std::wstring& ProgramPath() {
    static std::wstring path;
    return path;
}

std::wstring ToWindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return std::wstring(path.begin(), path.end());
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms)
            Sleep(5);
    } while (GetTickCount() - start < ms);
}

namespace {

struct Search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (pid == s->pid && IsWindowVisible(h) && wcscmp(cls, s->cls) == 0 &&
        (!s->title || App::Text(h) == s->title)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK FindChild(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (App::Text(h) == *s->caption) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForWindow(DWORD pid, const wchar_t* cls, const wchar_t* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        Search s{pid, cls, title, nullptr};
        EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&s));
        if (s.found || GetTickCount() - start > timeoutMs)
            return s.found;
        PumpFor(20);
    }
}

AnswerProbe::AnswerProbe(HWND window)
    : thread_([this, window] {
          using Clock = std::chrono::steady_clock;
          while (!stop_) {
              const auto asked = Clock::now();
              DWORD_PTR ignored;
              SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
              const double ms =
                  std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
              longest_ = std::max(longest_.load(), ms);
              Sleep(2);
          }
      }) {}

double AnswerProbe::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return longest_;
}

App::App() {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + ProgramPath() + L"\"";
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi_))
        throw std::runtime_error("cannot start purgebox.exe");
    WaitForInputIdle(pi_.hProcess, 30000);
    main_ = WaitForWindow(pi_.dwProcessId, L"PurgeboxMain", L"Purgebox", 30000);
    if (!main_)
        throw std::runtime_error("purgebox.exe showed no window");
    Sync();
}

App::~App() {
    if (Running())
        Kill();
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
}

bool App::Running() const {
    return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool App::WaitExit(DWORD ms) {
    const DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < ms)
        PumpFor(20);
    return !Running();
}

void App::Kill() {
    TerminateProcess(pi_.hProcess, 9);
    WaitForSingleObject(pi_.hProcess, 10000);
}

HWND App::Control(const std::wstring& caption) const {
    ChildSearch s{&caption, nullptr};
    EnumChildWindows(main_, &FindChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void App::Sync() const {
    DWORD_PTR ignored;
    SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored);
}

namespace {
// Sent, and waited for until it is handled; a click that opens a modal box returns after a
// moment instead, with the box left for the driver to answer.
void SendAndWait(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, 1500, &ignored);
}
} // namespace

void App::Click(HWND control) const {
    wchar_t cls[32] = {};
    GetClassNameW(control, cls, 32);
    if (wcscmp(cls, L"Button") == 0) {
        SendAndWait(control, BM_CLICK, 0, 0);
    } else { // a label: press and release over it
        SendAndWait(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendAndWait(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    }
}

void App::Hover(HWND control) const {
    SendAndWait(control, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
}

std::wstring App::Text(HWND h) {
    // WM_GETTEXT, not GetWindowText: it reaches controls of another process.
    const LRESULT n = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got = SendMessageW(h, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(got));
    return s;
}

std::vector<std::wstring> App::Log() const {
    std::vector<std::wstring> lines;
    const HWND list = LogList();
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring s(static_cast<size_t>(n) + 1, L'\0');
        const LRESULT got = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data()));
        s.resize(got > 0 ? static_cast<size_t>(got) : 0);
        lines.push_back(s);
    }
    return lines;
}

std::wstring App::AnswerMessageBox(DWORD timeoutMs, DWORD readMs) const {
    const HWND box = WaitForWindow(pi_.dwProcessId, L"#32770", L"Purgebox", timeoutMs);
    if (!box)
        return L"(no message box)";
    PumpFor(readMs);
    std::wstring text;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        const std::wstring t = Text(c);
        if (wcscmp(cls, L"Static") == 0 && t.size() > text.size())
            text = t;
    }
    // Closed with its button, as a person closes it.
    if (const HWND ok = GetDlgItem(box, IDOK))
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Gone, not only hidden, so that it cannot be taken for the next box.
    for (int i = 0; i < 6000 && IsWindow(box); ++i)
        PumpFor(10);
    return text;
}

bool App::PickTrayItem(const std::wstring& caption) const {
    // As the shell delivers the icon's mouse messages to the callback window: sent, not waited for.
    SendNotifyMessageW(TrayWindow(), WM_MOUSEMOVE, 0, WM_RBUTTONDOWN);
    const HWND menuWindow = WaitForWindow(pi_.dwProcessId, L"#32768", nullptr, 10000);
    if (!menuWindow)
        return false;
    // Wine keeps menus inside their process, so the items are read where that works and
    // otherwise taken from the menu's known layout.
    std::vector<std::wstring> items{L"Clean Now!",    L"", L"Open Purgebox",
                                    L"Exit Purgebox", L"", L"Purgebox Website"};
    const HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    if (const int count = GetMenuItemCount(menu); count == static_cast<int>(items.size())) {
        std::vector<std::wstring> read;
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            read.emplace_back(text);
        }
        if (std::find(read.begin(), read.end(), caption) != read.end())
            items = read;
    }
    const auto it = std::find(items.begin(), items.end(), caption);
    if (caption.empty() || it == items.end()) {
        PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        return false;
    }
    // Keys to the menu itself, as its owner would get them: down to the item, then Enter.
    for (auto i = items.begin(); i <= it; ++i)
        if (!i->empty())
            PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    for (int i = 0; i < 1000 && IsWindowVisible(menuWindow); ++i)
        PumpFor(10);
    return true;
}

std::vector<std::wstring> App::Run(const std::vector<std::wstring>& boxes) {
    for (const wchar_t* name :
         {L"Temporary Internet Files", L"Internet Explorer Typed URLs",
          L"Internet Explorer History", L"Recent Documents List", L"Windows Temp Files"}) {
        const HWND box = Control(name);
        const bool want = std::find(boxes.begin(), boxes.end(), name) != boxes.end();
        if ((Check(box) == 1) != want)
            Click(box);
    }
    Sync();
    Click(Control(L"Clear Now!"));
    const std::wstring message = AnswerMessageBox();
    if (message != L"Purgebox completed!")
        throw std::runtime_error("the run did not complete");
    return Log();
}

std::wstring RecentFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, 0, path);
    return path;
}

} // namespace e2e
