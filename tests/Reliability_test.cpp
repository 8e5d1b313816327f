// Hostile contents in every place the program cleans: nothing may be lost, and nothing
// outside the named places touched.
#include "TestSupport.h"
#include "history/HistoryCleanser.h"
#include "module/FolderPurge.h"
#include "module/modMain.h"
#include <shlobj.h>
#include <wininet.h>

using namespace pbtest;

namespace {

std::wstring Long(const std::wstring& p) {
    return L"\\\\?\\" + p;
}

void MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
}

bool LongExists(const std::wstring& p) {
    return GetFileAttributesW(Long(p).c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Hostile : public MainWindowTest {
  protected:
    void RunStage(const pb::CheckBox& box) {
        box.SetValue(1);
        SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    }
    bool Logged(const std::wstring& line) const {
        const auto lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

} // namespace

TEST_F(Hostile, TempFolderKeepsWhatItMustAndRemovesEverythingElse) {
    ScratchDir root(L"hostile");
    // A temp path of 120 characters, longer than the old fixed buffer allowed.
    std::wstring temp = root.path() + L"\\";
    temp += std::wstring(120 - temp.size(), L't');
    ASSERT_TRUE(CreateDirectoryW(Long(temp).c_str(), nullptr));
    ASSERT_EQ(temp.size(), 120u);
    TempDirOverride over(temp + L"\\");
    ScratchDir outside(L"outside");
    const std::wstring target = outside.File(L"target.txt");
    CreateDirectoryW((outside.path() + L"\\dir").c_str(), nullptr);
    const std::wstring inDir = outside.File(L"dir\\kept.txt");

    const std::vector<std::wstring> names{L"plain.tmp",
                                          L"\x0395\x03BB\x03BB\x03B7\x03BD\x03B9\x03BA\x03AC.tmp",
                                          L"\x0420\x0443\x0441\x0441\x043A\x0438\x0439.tmp",
                                          L"\x65E5\x672C\x8A9E.tmp",
                                          L"\x0639\x0631\x0628\x064A.tmp",
                                          L"trailing dot.",
                                          L"trailing space "};
    for (const auto& n : names)
        MakeFile(temp + L"\\" + n);
    MakeFile(temp + L"\\readonly.tmp", FILE_ATTRIBUTE_READONLY);
    MakeFile(temp + L"\\locked.tmp");
    HANDLE hold = CreateFileW(Long(temp + L"\\locked.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    const bool fileLink = CreateSymbolicLinkW((temp + L"\\file.lnk").c_str(), target.c_str(), 0) &&
                          LongExists(temp + L"\\file.lnk");
    const bool links =
        CreateSymbolicLinkW((temp + L"\\dirlink").c_str(), (outside.path() + L"\\dir").c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY);
    // A path of more than 260 characters inside a subfolder, which the purge never enters.
    std::wstring deep = temp;
    while (deep.size() < 300) {
        deep += L"\\" + std::wstring(40, L'd');
        CreateDirectoryW(Long(deep).c_str(), nullptr);
    }
    MakeFile(deep + L"\\deep.tmp");

    RunStage(form().Check5);
    CloseHandle(hold);

    for (const auto& n : names)
        EXPECT_FALSE(LongExists(temp + L"\\" + n)) << "left: " << std::string(n.begin(), n.end());
    EXPECT_TRUE(LongExists(temp + L"\\readonly.tmp"));
    EXPECT_TRUE(LongExists(temp + L"\\locked.tmp"));
    EXPECT_TRUE(LongExists(deep + L"\\deep.tmp"));
    EXPECT_TRUE(Exists(target));
    EXPECT_TRUE(Exists(inDir));
    const size_t removed = names.size() + (fileLink ? 1 : 0);
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 4],
              L"          Purgebox removed " + std::to_wstring(removed) + L" files");
    EXPECT_TRUE(Logged(L"          Purgebox could not remove 2 files"));
    SetFileAttributesW(Long(temp + L"\\readonly.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
    if (links)
        RemoveDirectoryW(Long(temp + L"\\dirlink").c_str());
}

TEST_F(Hostile, FortyThousandFilesAreCountedExactly) {
    // More files than a 16-bit count holds. Made from the Unix side: through Wine, each new
    // name is checked against the whole folder, which costs minutes.
    const ScratchDir fixture(L"forty");
    constexpr int kFiles = 40000;
    ASSERT_TRUE(RunUnix(L"cd " + UnixPath(fixture.path()) + L" && seq -f 'f%.0f' 0 " +
                        std::to_wstring(kFiles - 1) + L" | xargs touch"));
    ASSERT_EQ(ListFolderFiles(fixture.path()).size(), static_cast<size_t>(kFiles));
    TempDirOverride over(fixture.path() + L"\\");
    RunStage(form().Check5);
    EXPECT_TRUE(Logged(L"          Purgebox removed 40000 files"));
    EXPECT_TRUE(ListFolderFiles(fixture.path()).empty());
    EXPECT_EQ(form().List1.Count(), 2 + 3 + kFiles + 2 + 2);
}

TEST_F(Hostile, AMissingRecentFolderDeletesNothingAnywhere) {
    const std::wstring recent = pb::GetSpecialFolder(CSIDL_RECENT);
    ASSERT_FALSE(recent.empty());
    const std::wstring parked = recent + L".parked";
    MoveFileW(recent.c_str(), parked.c_str());
    ScratchDir bystander(L"bystander");
    const std::wstring kept = bystander.File(L"kept.txt");
    RunStage(form().Check3);
    EXPECT_TRUE(Exists(kept));
    EXPECT_TRUE(Logged(L"          Purgebox removed 0 files"));
    RemoveDirectoryW(recent.c_str());
    MoveFileW(parked.c_str(), recent.c_str());
}

TEST_F(Hostile, ABusyCacheIsEmptiedButTheHistoryStays) {
    FILETIME zero{};
    for (int i = 0; i < 5000; ++i) {
        const std::string url = "http://bulk.example/" + std::to_string(i);
        ASSERT_TRUE(CommitUrlCacheEntryA(url.c_str(), nullptr, zero, zero, NORMAL_CACHE_ENTRY,
                                         nullptr, 0, nullptr, nullptr));
    }
    for (int i = 0; i < 20; ++i)
        CommitUrlCacheEntryA(("Visited: me@http://kept.example/" + std::to_string(i)).c_str(),
                             nullptr, zero, zero, URLHISTORY_CACHE_ENTRY, nullptr, 0, nullptr,
                             nullptr);
    RunStage(form().Check1);
    EXPECT_TRUE(Messages().size() == 1u && Messages()[0].text == L"Purgebox completed!");
    DWORD size = 0;
    GetUrlCacheEntryInfoA("http://bulk.example/4999", nullptr, &size);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    pb::gCleanser->Refresh(L"http://kept.example/");
    EXPECT_EQ(pb::gCleanser->Count(), 20);
    pb::gCleanser->Clear();
}

TEST(HostileHistory, TwentyThousandRecordsWithoutTitlesAreReadAndCleared) {
    pb::HistoryCleanser().Clear(); // counted exactly: whatever other tests left goes first
    FILETIME zero{};
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(CommitUrlCacheEntryA(
            ("Visited: me@http://h.example/" + std::to_string(i)).c_str(), nullptr, zero, zero,
            URLHISTORY_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
    { pb::HistoryCleanser dropped; } // dropped while reading: must neither hang nor crash
    pb::HistoryCleanser h;
    h.AddURL(L"http://after.example/", L"", 0); // after creation: not in the list yet
    EXPECT_EQ(h.Count(), 20000);
    EXPECT_EQ(h.Item(20000)->Title(), L"");
    h.Clear();
    EXPECT_EQ(h.Count(), 0);
}
