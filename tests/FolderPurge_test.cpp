#include "TestSupport.h"
#include "module/FolderPurge.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include <algorithm>
#include <shlobj.h>

using namespace pbtest;

namespace {

std::wstring Upper(std::wstring s) {
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
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

} // namespace

TEST_F(TempPurge, DeletesListedFilesOnlyAndLogsEachOne) {
    dir_.File(L"a.txt");
    dir_.File(L"b.log");
    dir_.File(L"\x03A9mega \x0444\x0430\x0439\x043B.txt"); // outside the ANSI code page
    SetFileAttributesW(dir_.File(L"hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(dir_.File(L"system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);
    const std::wstring readOnly = dir_.File(L"readonly.txt");
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryW((dir_.path() + L"\\sub").c_str(), nullptr);
    dir_.File(L"sub\\inner.txt");
    const std::wstring locked = dir_.File(L"locked.tmp");
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);

    RunTempStage();
    CloseHandle(hold);

    const auto lines = PurgeLines();
    ASSERT_EQ(lines.size(), 3u + 5u + 3u);
    EXPECT_EQ(lines[0], L"          Windows Temp Directory found");
    EXPECT_EQ(lines[1], L"          " + Upper(dir_.path()));
    EXPECT_EQ(lines[2], L"          Removing Files:");
    std::vector<std::wstring> fileLines(lines.begin() + 3, lines.begin() + 8);
    EXPECT_EQ(Sorted(fileLines), Sorted({L"           a.txt", L"           b.log",
                                         L"           locked.tmp", L"           readonly.txt",
                                         L"           \x03A9mega \x0444\x0430\x0439\x043B.txt"}));
    EXPECT_EQ(lines[8], L"          Windows Temp Directory Cleared");
    EXPECT_EQ(lines[9], L"          Purgebox removed 3 files");
    EXPECT_EQ(lines[10], L"          Purgebox could not remove 2 files");

    EXPECT_FALSE(Exists(dir_.path() + L"\\a.txt"));
    EXPECT_FALSE(Exists(dir_.path() + L"\\\x03A9mega \x0444\x0430\x0439\x043B.txt"));
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(Exists(readOnly));
    EXPECT_TRUE(Exists(dir_.path() + L"\\hidden.dat"));
    EXPECT_TRUE(Exists(dir_.path() + L"\\system.dat"));
    EXPECT_TRUE(Exists(dir_.path() + L"\\sub\\inner.txt"));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // The log's selection followed the lines: one step per file, then seven more.
    Pump();
    EXPECT_EQ(form().List1.ListIndex(), 5 + 7 - 1);
}

TEST_F(TempPurge, EmptyFolderLogsTheFrameAndZero) {
    RunTempStage();
    const auto lines = PurgeLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], L"          Windows Temp Directory Cleared");
    EXPECT_EQ(lines[4], L"          Purgebox removed 0 files");
}

TEST_F(TempPurge, ANestedRunCannotChangeWhatTheOuterPurgeDeletes) {
    for (int i = 0; i < 5; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    int pumps = 0;
    pb::SetPumpHook([&] {
        if (++pumps == 6) { // inside the outer purge's file loop
            pb::SetPumpHook({});
            dir_.File(L"late.tmp"); // arrives after the outer listing
            SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
            dir_.File(L"later.tmp");
        }
    });
    RunTempStage();
    EXPECT_EQ(Messages().size(), 2u);
    EXPECT_FALSE(Exists(dir_.path() + L"\\f4.tmp"));
    EXPECT_FALSE(Exists(dir_.path() + L"\\late.tmp")); // the nested run listed it
    EXPECT_TRUE(Exists(dir_.path() + L"\\later.tmp")); // nobody listed it
    const auto lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"          Purgebox removed 5 files"),
              lines.end());
}

TEST_F(TempPurge, NoFileGoesBeforeItsLineAndTheStatusShowsTheNewestLine) {
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    int checks = 0;
    pb::SetPumpHook([&] {
        const auto lines = LogLines();
        const std::wstring status = form().Label2->Text();
        if (lines.back() != L"     " + status)
            ADD_FAILURE() << "status " << testing::PrintToString(status);
        for (int i = 0; i < kFiles; ++i) {
            const std::wstring name = L"f" + std::to_wstring(i) + L".tmp";
            if (!Exists(dir_.path() + L"\\" + name) &&
                std::find(lines.begin(), lines.end(), L"           " + name) == lines.end())
                ADD_FAILURE() << "deleted before its line: " << testing::PrintToString(name);
        }
        ++checks;
    });
    RunTempStage();
    pb::SetPumpHook({});
    EXPECT_GT(checks, kFiles);
    EXPECT_TRUE(pb::ListFolderFiles(dir_.path()).empty());
    EXPECT_EQ(PurgeLines()[3 + kFiles + 1], L"          Purgebox removed 60 files");
}

TEST_F(TempPurge, KeystrokesNeverReachAnotherWindow) {
    static int keys = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_KEYDOWN)
            ++keys;
        return DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PurgeboxTestKeySink";
    RegisterClassW(&wc);
    HWND other = CreateWindowW(wc.lpszClassName, L"Other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(form().hwnd(), SW_HIDE); // as when the run starts from the tray
    SetForegroundWindow(other);
    SetFocus(other);
    dir_.File(L"one.tmp");
    RunTempStage();
    Pump();
    EXPECT_EQ(keys, 0);
    DestroyWindow(other);
}

TEST(FolderHelpers, TempDirKeepsLongPathsAndDropsOnlyTheTrailingBackslash) {
    const std::wstring longDir = L"C:\\users\\a-rather-long-user-name-for-this-"
                                 L"test\\AppData\\Local\\Temp\\x";
    {
        TempDirOverride over(longDir + L"\\");
        EXPECT_EQ(pb::GetTempDir(), longDir);
    }
    {
        TempDirOverride over(L"C:\\");
        EXPECT_EQ(pb::GetTempDir(), L"C:");
    }
    EXPECT_EQ(pb::StripNull(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(pb::StripNull(L"plain"), L"plain");
    EXPECT_FALSE(pb::GetSpecialFolder(CSIDL_RECENT).empty());
}

TEST(FolderHelpers, AFolderThatCannotBeListedListsNothing) {
    EXPECT_TRUE(pb::ListFolderFiles(L"").empty());
    EXPECT_TRUE(pb::ListFolderFiles(L"?").empty());
    EXPECT_TRUE(pb::ListFolderFiles(L"C:\\no\\such\\folder").empty());
}

TEST(FolderHelpers, PathsBeyond260CharactersAreListedAndDeleted) {
    ScratchDir root(L"long");
    std::wstring dir = root.path();
    while (dir.size() < 300) {
        dir += L"\\" + std::wstring(50, L'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr)) << GetLastError();
    }
    const std::wstring file = L"\\\\?\\" + dir + L"\\deep.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    // A name with a trailing dot, which only the long form can reach.
    const std::wstring dotted = L"\\\\?\\" + dir + L"\\trailing.";
    CloseHandle(CreateFileW(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(Sorted(pb::ListFolderFiles(dir)),
              (std::vector<std::wstring>{L"deep.txt", L"trailing."}));
}

TEST_F(TempPurge, FileLinksGoAsLinksAndTheirTargetsStay) {
    ScratchDir outside(L"outside");
    const std::wstring target = outside.File(L"target.txt");
    const std::wstring link = dir_.path() + L"\\link.txt";
    const std::wstring dirLink = dir_.path() + L"\\dirlink";
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0))
        GTEST_SKIP() << "symbolic links unavailable here: " << GetLastError();
    CreateSymbolicLinkW(dirLink.c_str(), outside.path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    RunTempStage();
    EXPECT_FALSE(Exists(link));
    EXPECT_TRUE(Exists(target));
}

TEST_F(MainWindowTest, RecentFolderPurgeKeepsHiddenFiles) {
    const std::wstring recent = pb::GetSpecialFolder(CSIDL_RECENT);
    ASSERT_FALSE(recent.empty());
    CreateDirectoryW(recent.c_str(), nullptr);
    const std::wstring shortcut = recent + L"\\report.doc.lnk";
    const std::wstring settings = recent + L"\\desktop.ini";
    CloseHandle(
        CreateFileW(shortcut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CloseHandle(CreateFileW(settings.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN, nullptr));
    form().Check3.SetValue(1);
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_TRUE(Exists(settings));
    const auto lines = LogLines();
    EXPECT_EQ(lines[2], L"          Windows Recent Files found");
    EXPECT_EQ(lines[3], L"          " + recent);
    EXPECT_EQ(lines[lines.size() - 3], L"          Purgebox removed 1 files");
    DeleteFileW(settings.c_str());
}

TEST_F(MainWindowTest, UnixLinksStayWithTheirTargetsAlsoWhenSwappedInAfterTheListing) {
    const std::wstring fixtures = L"C:\\purgebox-fixtures\\";
    if (!Exists(fixtures + L"links\\a.txt"))
        GTEST_SKIP() << "the test command makes the links from the Unix side";
    const std::wstring links = fixtures + L"links", plain = links + L"\\b.txt";
    CloseHandle(CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    TempDirOverride tmp(links);
    // Once listed, the folder is swapped for one whose b.txt is a link too, before any file
    // is opened for its deletion.
    const pb::UniqueHandleW swapped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    pb::SetDeletionHook([&] { WaitForSingleObject(swapped.get(), 10000); });
    pb::SetPumpHook([&] {
        if (SendMessageW(form().File1.hwnd(), LB_GETCOUNT, 0, 0) == 2) {
            pb::SetPumpHook({});
            EXPECT_TRUE(MoveFileW(links.c_str(), (fixtures + L"listed").c_str()));
            EXPECT_TRUE(MoveFileW((fixtures + L"swap").c_str(), links.c_str()));
            SetEvent(swapped.get());
        }
    });
    form().Check5.SetValue(1);
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    pb::SetPumpHook({});
    pb::SetDeletionHook({});
    EXPECT_TRUE(Exists(fixtures + L"outside\\a.txt"));
    EXPECT_TRUE(Exists(fixtures + L"outside\\b.txt"));
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 4], L"          Purgebox removed 0 files");
    EXPECT_EQ(lines[lines.size() - 3], L"          Purgebox could not remove 2 files");
}

TEST_F(TempPurge, FoldersHoldingTheUsersOwnFilesAreNotPurged) {
    const std::wstring root = L"C:\\", canary = root + L"purgebox-canary.txt";
    CloseHandle(CreateFileW(canary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    {
        TempDirOverride over(root);
        RunTempStage();
    }
    EXPECT_TRUE(Exists(canary));
    DeleteFileW(canary.c_str());
    EXPECT_EQ(PurgeLines(), (std::vector<std::wstring>{
                                L"          Windows Temp Directory found", L"          C:",
                                L"          Purgebox will not remove files from this folder"}));
    for (const int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY,
                            CSIDL_PERSONAL, CSIDL_PROGRAM_FILES}) {
        wchar_t path[MAX_PATH];
        ASSERT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
        CreateDirectoryW(path, nullptr);
        EXPECT_TRUE(pb::HoldsUsersOwnFiles(path)) << testing::PrintToString(std::wstring(path));
        EXPECT_TRUE(pb::HoldsUsersOwnFiles(std::wstring(path) + L"\\.\\"));
    }
    EXPECT_FALSE(pb::HoldsUsersOwnFiles(pb::GetWindowsDir() + L"\\Temp"));
    EXPECT_FALSE(pb::HoldsUsersOwnFiles(dir_.path()));
}

TEST_F(TempPurge, TheLogRunsAheadOfTheDeletionsByAFrameAtMost) {
    for (int i = 0; i < 600; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    const std::vector<std::wstring> names = pb::ListFolderFiles(dir_.path());
    constexpr LRESULT kLinesBeforeFiles = 5; // the run's two, the purge's three
    pb::SetDeletionHook([] { Sleep(1); });   // slower than the log, as on a busy disk
    size_t deleted = 0, most = 0;
    pb::SetPumpHook([&] {
        const LRESULT lines = SendMessageW(form().List1.hwnd(), LB_GETCOUNT, 0, 0);
        const size_t logged =
            std::min<size_t>(names.size(), std::max<LRESULT>(0, lines - kLinesBeforeFiles));
        while (deleted < logged && !Exists(dir_.path() + L"\\" + names[deleted]))
            ++deleted;
        most = std::max(most, logged - deleted);
    });
    RunTempStage();
    pb::SetPumpHook({});
    pb::SetDeletionHook({});
    EXPECT_LE(most, pb::kPurgeLead);
    EXPECT_TRUE(pb::ListFolderFiles(dir_.path()).empty());
}
