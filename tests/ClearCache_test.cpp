#include "Seams.h"
#include "TestSupport.h"
#include "history/HistoryCleanser.h"
#include "history/VisitedStore.h"
#include "platform/CacheApi.h"
#include "module/StoreResidue.h"
#include "module/modMain.h"
#include "platform/Wine.h"
#include <algorithm>
#include <map>
#include <string>
#include <thread>

using namespace pbtest;

namespace {

// A scripted WinInet cache: each call answers from the script and records what
// it did.
struct Script {
    bool groupFunctions = true;
    DWORD firstGroupError = ERROR_FILE_NOT_FOUND;  // 0: a group search starts at group 1
    std::vector<std::pair<BOOL, DWORD>> nextGroup; // answers, in order, then "no more"
    std::map<GROUPID, int> groupDeletes;
    int failDeleteOfGroupAt = 0; // the n-th deletion (1-based) fails with 5
    std::vector<std::string> entries;
    std::map<size_t, DWORD> entrySize; // bytes an entry's record needs, beyond the default
    DWORD firstEntryError = 0;
    std::map<size_t, DWORD> nextEntryError; // fail FindNext when moving to this index
    DWORD errorLeftByDelete = 0;
    size_t pos = 0;
    std::vector<std::string> deleted;
    int closes = 0;
    int groupDeleteCalls = 0;
    std::vector<char> urlStore;
};
Script* gs = nullptr;

GROUPID gGroup = 0;
size_t gNextGroup = 0;

BOOL Fill(LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
    const std::string& url = gs->entries[gs->pos];
    const DWORD need = gs->entrySize.count(gs->pos) ? gs->entrySize[gs->pos] : 200;
    if (*size < need) {
        *size = need;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    gs->urlStore.assign(url.begin(), url.end());
    gs->urlStore.push_back('\0');
    info->lpszSourceUrlName = gs->urlStore.data();
    return TRUE; // success leaves the last error alone, as the real calls may
}

HANDLE WINAPI FirstGroup(DWORD, DWORD, LPVOID, DWORD, GROUPID* id, LPVOID) {
    if (gs->firstGroupError) {
        SetLastError(gs->firstGroupError == 0xFFFFFFFF ? 0 : gs->firstGroupError);
        return nullptr;
    }
    *id = gGroup = 1;
    gNextGroup = 0;
    return reinterpret_cast<HANDLE>(0x100);
}
BOOL WINAPI NextGroup(HANDLE, GROUPID* id, LPVOID) {
    if (gNextGroup >= gs->nextGroup.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const auto [ok, err] = gs->nextGroup[gNextGroup++];
    if (ok)
        *id = ++gGroup;
    else
        SetLastError(err);
    return ok;
}
BOOL WINAPI DeleteGroup(GROUPID id, DWORD flags, LPVOID) {
    EXPECT_EQ(flags, static_cast<DWORD>(CACHEGROUP_FLAG_FLUSHURL_ONDELETE));
    if (++gs->groupDeleteCalls == gs->failDeleteOfGroupAt) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ++gs->groupDeletes[id];
    return TRUE;
}
HANDLE WINAPI FirstEntry(LPCSTR pattern, LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
    EXPECT_EQ(pattern, nullptr);
    if (gs->firstEntryError || gs->entries.empty()) {
        SetLastError(gs->firstEntryError ? gs->firstEntryError : ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    gs->pos = 0;
    return Fill(info, size) ? reinterpret_cast<HANDLE>(0x200) : nullptr;
}
BOOL WINAPI NextEntry(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
    const size_t next = gs->pos + 1;
    if (gs->nextEntryError.count(next)) {
        SetLastError(gs->nextEntryError[next]);
        return FALSE;
    }
    if (next >= gs->entries.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    const size_t saved = gs->pos;
    gs->pos = next;
    if (!Fill(info, size)) {
        gs->pos = saved; // stays on the same entry, as WinInet does
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI DeleteEntry(LPCSTR url) {
    gs->deleted.emplace_back(url);
    if (gs->errorLeftByDelete)
        SetLastError(gs->errorLeftByDelete);
    return TRUE;
}
BOOL WINAPI CloseSearch(HANDLE) {
    ++gs->closes;
    return TRUE;
}

class ScriptedCache : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        gs = &script;
    }
    void Run() {
        api = {FirstGroup, NextGroup, DeleteGroup, FirstEntry, NextEntry, DeleteEntry, CloseSearch};
        if (!script.groupFunctions)
            api.FindFirstUrlCacheGroup = nullptr, api.FindNextUrlCacheGroup = nullptr,
            api.DeleteUrlCacheGroup = nullptr;
        const auto scripted = pb::seams::cacheApi.Use([&]() -> const pb::CacheApi& { return api; });
        pb::ClearCache();
    }
    std::vector<std::wstring> MessageTexts() const {
        std::vector<std::wstring> texts;
        for (const auto& m : Messages()) {
            EXPECT_EQ(m.title, L"Purgebox");
            EXPECT_EQ(m.flags, static_cast<UINT>(MB_OK));
            texts.push_back(m.text);
        }
        return texts;
    }
    Script script;
    pb::CacheApi api{};
};

using Texts = std::vector<std::wstring>;
using Urls = std::vector<std::string>;

} // namespace

TEST_F(ScriptedCache, WithoutGroupsDeletesEveryEntryButTheHistorysSilently) {
    script.entries = {"http://a.example/", "Visited: me@http://a.example/",
                      "http://b.example/x.gif", "Cookie:me@a.example/"};
    Run();
    EXPECT_EQ(script.deleted,
              (Urls{"http://a.example/", "http://b.example/x.gif", "Cookie:me@a.example/"}));
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_EQ(script.closes, 1);
    EXPECT_EQ(LogLines().size(), 1u); // nothing logged
}

TEST_F(ScriptedCache, EmptyCacheOrMissingOrStubGroupFunctionsAreNoError) {
    Run(); // no groups, no entries
    script.groupFunctions = false;
    script.entries = {"http://a.example/"};
    Run();
    script.groupFunctions = true;
    script.firstGroupError = 0xFFFFFFFF; // null handle and no error code: stubs
    script.entries = {"http://b.example/"};
    Run();
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_EQ(script.deleted, (Urls{"http://a.example/", "http://b.example/"}));
}

TEST_F(ScriptedCache, GroupsAreDeletedWithTheirUrlsBeforeTheEntries) {
    script.firstGroupError = 0;
    script.nextGroup = {{TRUE, 0}, {TRUE, 0}};
    script.entries = {"http://left.example/"};
    Run();
    EXPECT_EQ(script.groupDeletes, (std::map<GROUPID, int>{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(script.deleted, Urls{"http://left.example/"});
    EXPECT_EQ(script.closes, 2);
}

TEST_F(ScriptedCache, GroupSearchFailuresEndTheTaskBeforeAnyEntry) {
    script.firstGroupError = 5;
    script.entries = {"http://a.example/"};
    Run();
    EXPECT_EQ(MessageTexts(), Texts{L"An error occurred enumerating the cache groups5"});
    EXPECT_TRUE(script.deleted.empty());

    // Part way: the same group is tried again, its deletion fails, and the task
    // ends.
    Messages().clear();
    script.firstGroupError = 0;
    script.nextGroup = {{FALSE, 6}};
    script.failDeleteOfGroupAt = 2;
    Run();
    EXPECT_EQ(MessageTexts(),
              (Texts{L"Error finding next url cache group! - 6", L"Error deleting cache group 5"}));
    EXPECT_TRUE(script.deleted.empty());
}

TEST_F(ScriptedCache, EntrySearchFailuresAreReportedWithTheirCode) {
    script.firstEntryError = ERROR_ACCESS_DENIED;
    script.entries = {"http://a.example/"};
    Run();
    EXPECT_EQ(MessageTexts(), Texts{L"ERROR: FindFirstUrlCacheEntry - 5"});

    Messages().clear();
    script.firstEntryError = 0;
    script.entries = {"http://a.example/", "http://b.example/", "http://c.example/"};
    script.nextEntryError = {{2, ERROR_INVALID_HANDLE}};
    Run();
    EXPECT_EQ(MessageTexts(), Texts{L"Error:  Unable to find the next cache entry - 6"});
    EXPECT_EQ(script.deleted, (Urls{"http://a.example/", "http://b.example/"}));
}

TEST_F(ScriptedCache, LargeEntriesGrowTheBufferInsteadOfEndingTheTask) {
    script.entries = {"http://big-first.example/", "http://small.example/", "http://big.example/",
                      "http://after.example/"};
    script.entrySize = {{0, 5000}, {2, 12000}};
    Run();
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_EQ(script.deleted.size(), 4u);
}

TEST_F(ScriptedCache, AnEntryAskingForGigabytesIsReportedAsAFailedCall) {
    script.entries = {"http://a.example/", "http://corrupt.example/", "http://c.example/"};
    script.entrySize = {{1, 0xFFFFFFF9}}; // rounds up past 32 bits
    Run();
    EXPECT_EQ(MessageTexts(), Texts{L"Error:  Unable to find the next cache entry - 122"});
    EXPECT_EQ(script.deleted, Urls{"http://a.example/"});
}

TEST_F(ScriptedCache, AnErrorCodeLeftOverFromAnEarlierCallIsNotReadAsTheEnd) {
    script.entries = {"http://a.example/", "http://b.example/", "http://c.example/"};
    script.errorLeftByDelete = ERROR_NO_MORE_ITEMS;
    Run();
    EXPECT_EQ(script.deleted.size(), 3u);
}

TEST_F(ScriptedCache, TheWindowAnswersDuringTheTaskButTakesAClickOnlyAtTheNextPumpingPoint) {
    static HWND main, list, hideLog;
    static bool answered = false, barShown = false;
    static float fill = 0;
    static LRESULT linesDuringTask = 0;
    main = form().hwnd(), list = form().List1.hwnd(), hideLog = form().Command4.hwnd();
    api = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, CloseSearch};
    api.FindFirstUrlCacheEntryA = [](LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) -> HANDLE {
        const pb::FrmMain& f = pb::MainForm();
        barShown = f.Shape1->Visible() && f.Shape2->Visible();
        fill = f.Shape2->WidthTwips();
        PostMessageW(hideLog, BM_CLICK, 0, 0);
        // Another program asks the window something while the task works.
        std::thread other([] {
            DWORD_PTR ignored;
            answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored) != 0;
        });
        other.join();
        Sleep(50);
        linesDuringTask = SendMessageW(list, LB_GETCOUNT, 0, 0);
        SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    };
    const auto scripted = pb::seams::cacheApi.Use([&]() -> const pb::CacheApi& { return api; });
    form().Check1.SetValue(1);
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(barShown);
    EXPECT_EQ(fill, 5.0f); // the first task runs with the bar at its narrowest
    EXPECT_TRUE(answered);
    EXPECT_EQ(linesDuringTask, 2); // the start lines: "&Hide Log" waited
    EXPECT_EQ(LogLines().front(), L"     Purgebox is Idle..."); // taken after the task
}

using RealCache = MainWindowTest;

TEST_F(RealCache, EmptiesTheCacheButKeepsHistoryAndEntriesInUse) {
    const std::string longUrl = "http://long.example/" + std::string(10000, 'a');
    const std::vector<std::string> urls{"http://one.example/", longUrl, "http://two.example/p.gif",
                                        "http://busy.example/"};
    for (const auto& u : urls)
        ASSERT_TRUE(SeedCacheEntry(u)) << GetLastError();
    ASSERT_TRUE(SeedVisited("Visited: user@http://history.example/"));
    // Holding an entry's file open keeps the entry in use.
    std::vector<char> buf(4096);
    DWORD size = static_cast<DWORD>(buf.size());
    ASSERT_TRUE(RetrieveUrlCacheEntryFileA(
        "http://busy.example/", reinterpret_cast<LPINTERNET_CACHE_ENTRY_INFOA>(buf.data()), &size,
        0));

    pb::ClearCache();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(InCache("http://one.example/"));
    EXPECT_FALSE(InCache(longUrl));
    EXPECT_FALSE(InCache("http://two.example/p.gif"));
    EXPECT_TRUE(InCache("http://busy.example/"));
    EXPECT_TRUE(InCache("Visited: user@http://history.example/"));
    // Under Wine the log says that its address remains, after the window's idle line.
    const std::vector<std::wstring> lines = LogLines();
    ASSERT_EQ(lines.size(), pb::UnderWine() ? 2u : 1u);
    if (pb::UnderWine()) {
        EXPECT_NE(lines[1].find(L"  1 Temporary Internet Files entries are in use and remain"),
                  std::wstring::npos)
            << lines[1];
    }

    UnlockUrlCacheEntryFileA("http://busy.example/", 0);
    pb::ClearCache(); // a second run finishes what the first could not
    EXPECT_FALSE(InCache("http://busy.example/"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(LogLines().size(), pb::UnderWine() ? 2u : 1u); // nothing more remains
    DeleteUrlCacheEntryA("Visited: user@http://history.example/");
}

TEST_F(RealCache, TheCacheTaskAndTheHistoryStoreAgreeOnWhatAHistoryRecordIs) {
    ASSERT_TRUE(SeedVisited("Visited:user@http://tight.example/"));
    const bool lower = SeedVisited("visited: user@http://lower.example/");
    pb::ClearCache();
    EXPECT_TRUE(InCache("Visited:user@http://tight.example/")); // left to the history task
    if (lower) {
        EXPECT_FALSE(InCache("visited: user@http://lower.example/")); // not a history record
    }
    pb::HistoryCleanser history(pb::CreateVisitedStore());
    EXPECT_TRUE(std::any_of(history.begin(), history.end(),
                            [](const auto& e) { return e->URL() == L"http://tight.example/"; }));
    history.Clear();
    EXPECT_FALSE(InCache("Visited:user@http://tight.example/"));
}
