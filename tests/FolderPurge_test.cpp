#include "Seams.h"
#include "TempPurge.h"
#include "module/FolderDeleter.h"
#include "module/FolderPurge.h"
#include "module/modMain.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include <shlobj.h>

using namespace pbtest;

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
    // Two held by another program: both deleting threads may find theirs busy at once.
    const std::wstring locked = dir_.File(L"locked.tmp"), locked2 = dir_.File(L"locked2.tmp");
    const pb::UniqueFile hold(
        CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const pb::UniqueFile hold2(
        CreateFileW(locked2.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold && hold2);

    RunTempStage();

    const auto lines = PurgeLines();
    ASSERT_EQ(lines.size(), 3u + 6u + 3u);
    EXPECT_EQ(lines[0], L"          Windows Temp Directory found");
    EXPECT_EQ(lines[1], L"          " + pb::ToUpper(dir_.path()));
    EXPECT_EQ(lines[2], L"          Removing Files:");
    std::vector<std::wstring> fileLines(lines.begin() + 3, lines.begin() + 9);
    EXPECT_EQ(Sorted(fileLines),
              Sorted({L"           a.txt", L"           b.log", L"           locked.tmp",
                      L"           locked2.tmp", L"           readonly.txt",
                      L"           \x03A9mega \x0444\x0430\x0439\x043B.txt"}));
    EXPECT_EQ(lines[9], L"          Windows Temp Directory Cleared");
    EXPECT_EQ(lines[10], L"          Purgebox removed 3 files");
    EXPECT_EQ(lines[11], L"          Purgebox could not remove 3 files");

    EXPECT_FALSE(Exists(dir_.path() + L"\\a.txt"));
    EXPECT_FALSE(Exists(dir_.path() + L"\\\x03A9mega \x0444\x0430\x0439\x043B.txt"));
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(Exists(locked2));
    EXPECT_TRUE(Exists(readOnly));
    EXPECT_TRUE(Exists(dir_.path() + L"\\hidden.dat"));
    EXPECT_TRUE(Exists(dir_.path() + L"\\system.dat"));
    EXPECT_TRUE(Exists(dir_.path() + L"\\sub\\inner.txt"));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // The log's selection followed the lines: one step per file, then seven more.
    Pump();
    EXPECT_EQ(SendMessageW(form().List1.hwnd(), LB_GETCURSEL, 0, 0), 6 + 7 - 1);
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
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
        if (++pumps == 6) {         // inside the outer purge's file loop; once: the count goes on
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
    // Each file is counted once, by the run that removed it; none as not removed.
    int removed = 0;
    for (const std::wstring& line : LogLines()) {
        constexpr std::wstring_view count = L"          Purgebox removed ";
        EXPECT_EQ(line.find(L"could not"), std::wstring::npos);
        if (line.compare(0, count.size(), count) == 0)
            removed += std::stoi(line.substr(count.size()));
    }
    EXPECT_EQ(removed, 5 + 1);
}

TEST_F(TempPurge, NoFileGoesBeforeItsLineAndTheStatusShowsTheNewestLine) {
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    int checks = 0;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
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
    EXPECT_GT(checks, kFiles);
    EXPECT_TRUE(ListFolderFiles(dir_.path()).empty());
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
    EXPECT_TRUE(ListFolderFiles(L"").empty());
    EXPECT_TRUE(ListFolderFiles(L"?").empty());
    EXPECT_TRUE(ListFolderFiles(L"C:\\no\\such\\folder").empty());
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
    EXPECT_EQ(Sorted(ListFolderFiles(dir)), (std::vector<std::wstring>{L"deep.txt", L"trailing."}));
}

TEST_F(TempPurge, TheLogRunsAheadOfTheDeletionsByAFrameAtMost) {
    constexpr size_t kFiles = 600;
    for (size_t i = 0; i < kFiles; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    ASSERT_EQ(ListFolderFiles(dir_.path()).size(), kFiles);
    constexpr LRESULT kLinesBeforeFiles = 5; // the run's two, the purge's three
    const auto atDeletion = pb::seams::deletion.Use([](pb::DeletionStep step, const std::wstring&) {
        if (step == pb::DeletionStep::Open)
            Sleep(4); // far slower than the log, as on a busy disk
    });
    // Counted, not looked up in list order: the two deleting threads finish their files in
    // either order. The folder is listed only where the count known so far would break the
    // bound, as deletions only add to it.
    size_t most = 0, deleted = 0;
    const auto atPumps = pb::seams::pumpingPoint.Use([&] {
        const LRESULT lines = SendMessageW(form().List1.hwnd(), LB_GETCOUNT, 0, 0);
        const size_t logged =
            std::min<size_t>(kFiles, std::max<LRESULT>(0, lines - kLinesBeforeFiles));
        if (logged > deleted + pb::kPurgeLead)
            deleted = kFiles - CountFiles(dir_.path());
        most = std::max(most, logged > deleted ? logged - deleted : 0);
    });
    RunTempStage();
    EXPECT_LE(most, pb::kPurgeLead);
    EXPECT_TRUE(ListFolderFiles(dir_.path()).empty());
}
