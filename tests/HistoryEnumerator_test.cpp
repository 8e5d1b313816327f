// The program's own history store, through its COM interfaces, against WinInet's real store.
#include "TestSupport.h"
#include "Seams.h"
#include "history/VisitedStore.h"
#include "platform/CacheEntryBuffer.h"
#include <algorithm>
#include <functional>
#include <string>
#include <urlhist.h>
#include <vector>
#include <wininet.h>

using namespace pbtest;

namespace {
// What one call of Next gives: its answer, and the addresses and titles, freed here.
struct Fetched {
    HRESULT hr;
    ULONG count;
    std::vector<std::wstring> urls, titles; // "(none)" where the store gave no string
    bool cleared;                           // a failed call left no string in the buffer
};
Fetched NextOf(IEnumSTATURL* e, ULONG celt) {
    static wchar_t stale[] = L"stale"; // what a caller's buffer may hold before the call
    std::vector<STATURL> buffer(celt);
    for (STATURL& s : buffer)
        s.pwcsUrl = s.pwcsTitle = stale;
    Fetched f{};
    f.hr = e->Next(celt, buffer.data(), &f.count);
    for (ULONG i = 0; i < f.count; ++i) {
        f.urls.emplace_back(buffer[i].pwcsUrl ? buffer[i].pwcsUrl : L"(none)");
        f.titles.emplace_back(buffer[i].pwcsTitle ? buffer[i].pwcsTitle : L"(none)");
        CoTaskMemFree(buffer[i].pwcsUrl);
        CoTaskMemFree(buffer[i].pwcsTitle);
    }
    f.cleared = FAILED(f.hr) && std::ranges::all_of(buffer, [](const STATURL& s) {
                    return !s.pwcsUrl && !s.pwcsTitle;
                });
    return f;
}
} // namespace

TEST(OwnHistoryStore, KeepsTheEnumeratorsContract) {
    const auto store = pb::CreateVisitedStore();
    constexpr wchar_t kPrefix[] = L"http://contract.example/";
    const std::wstring a = std::wstring(kPrefix) + L"a", b = std::wstring(kPrefix) + L"b";
    ASSERT_EQ(store->AddUrl(a.c_str(), L"Page A", ADDURL_ADDTOCACHE), S_OK);
    ASSERT_EQ(store->AddUrl(b.c_str(), L"Page B", 0), S_OK);
    // One record larger than any cache entry, among the others.
    std::string title(pb::CacheEntryBuffer::kMaxSize + 4096, 't');
    const std::string bigKey = "Visited: someone@http://contract.example/big";
    FILETIME zero{};
    ASSERT_TRUE(CommitUrlCacheEntryA(
        bigKey.c_str(), nullptr, zero, zero, NORMAL_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY,
        reinterpret_cast<BYTE*>(title.data()), static_cast<DWORD>(title.size()), nullptr, nullptr));
    const auto open = [&](DWORD flags) {
        pb::ComPtr<IEnumSTATURL> e;
        EXPECT_EQ(store->EnumUrls(e.ReleaseAndGetAddressOf()), S_OK);
        EXPECT_EQ(e->SetFilter(L"HTTP://Contract.Example/", flags), S_OK); // case ignored
        return e;
    };
    using Check = std::function<void()>;
    const std::pair<const char*, Check> cases[] = {
        {"Next asked for more than there are: what there is, S_FALSE, every record",
         [&] {
             const Fetched f = NextOf(open(0).Get(), 20);
             EXPECT_EQ(f.hr, S_FALSE);
             ASSERT_EQ(f.count, 3u);
             EXPECT_EQ(std::ranges::count(f.urls, a) + std::ranges::count(f.urls, b), 2);
             EXPECT_EQ(std::ranges::count(f.titles, L"Page A"), 1);
         }},
        {"Skip, Reset and Clone stand where they should",
         [&] {
             const auto e = open(0);
             const std::wstring first = NextOf(e.Get(), 1).urls.at(0);
             pb::ComPtr<IEnumSTATURL> copy;
             ASSERT_EQ(e->Clone(copy.ReleaseAndGetAddressOf()), S_OK);
             const std::wstring second = NextOf(e.Get(), 1).urls.at(0);
             EXPECT_EQ(NextOf(copy.Get(), 1).urls, std::vector<std::wstring>{second});
             EXPECT_EQ(e->Reset(), S_OK);
             EXPECT_EQ(e->Skip(1), S_OK);
             EXPECT_EQ(NextOf(e.Get(), 1).urls, std::vector<std::wstring>{second});
             EXPECT_EQ(e->Skip(5), S_FALSE);
             EXPECT_EQ(e->Reset(), S_OK);
             EXPECT_EQ(NextOf(e.Get(), 1).urls, std::vector<std::wstring>{first});
         }},
        {"flags that ask for no address and no title: none allocated",
         [&] {
             const Fetched f =
                 NextOf(open(STATURL_QUERYFLAG_NOURL | STATURL_QUERYFLAG_NOTITLE).Get(), 3);
             EXPECT_EQ(f.count, 3u);
             EXPECT_EQ(f.urls, std::vector<std::wstring>(3, L"(none)"));
             EXPECT_EQ(f.titles, std::vector<std::wstring>(3, L"(none)"));
         }},
        {"AddUrl's flags are not the record's",
         [&] {
             const auto e = open(0);
             STATURL s{};
             for (ULONG n = 0; e->Next(1, &s, &n) == S_OK && n == 1;) {
                 EXPECT_EQ(s.dwFlags, 0u);
                 CoTaskMemFree(s.pwcsUrl);
                 CoTaskMemFree(s.pwcsTitle);
             }
         }},
        {"a batch cut short by a record too large to read: what came before it, then the error",
         [&] {
             // Records whose keys, unlike AddUrl's, hold no user name: their place in the
             // search, before or after the large one, is the same on every machine.
             std::vector<std::string> seeded;
             struct Unseed { // also where an assertion ends the case
                 const std::vector<std::string>& keys;
                 ~Unseed() {
                     for (const std::string& key : keys)
                         EXPECT_TRUE(DeleteUrlCacheEntryA(key.c_str())) << key;
                 }
             } unseed{seeded};
             for (const char* page : {"c", "d", "e", "f", "g", "h"}) {
                 const std::string key =
                     std::string("Visited: someone@http://contract.example/") + page;
                 ASSERT_TRUE(SeedVisited(key));
                 seeded.push_back(key);
             }
             // The large record cannot be read for real.
             const auto limit =
                 pb::seams::historyRecordLimit.Use([] { return pb::CacheEntryBuffer::kMaxSize; });
             const HRESULT tooLarge = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
             std::vector<std::wstring> before;
             const auto one = open(0);
             Fetched f;
             while ((f = NextOf(one.Get(), 1)).hr == S_OK)
                 before.push_back(f.urls.at(0));
             ASSERT_EQ(f.hr, tooLarge) << "premise: the large record cannot be read";
             EXPECT_TRUE(f.cleared);
             if (before.empty())
                 GTEST_SKIP() << "a batch cut short by a record too large to read: the cache's "
                                 "order put no record before the large one";
             const auto batch = open(0);
             f = NextOf(batch.Get(), 20);
             EXPECT_EQ(f.hr, S_FALSE);
             EXPECT_EQ(f.urls, before);
             f = NextOf(batch.Get(), 20);
             EXPECT_EQ(f.hr, tooLarge);
             EXPECT_EQ(f.count, 0u);
             EXPECT_TRUE(f.cleared);
             const auto skipping = open(0);
             EXPECT_EQ(skipping->Skip(20), S_FALSE);
             EXPECT_EQ(skipping->Skip(1), tooLarge);
         }},
        {"DeleteUrl matches as the filter does, and says when nothing matched",
         [&] {
             EXPECT_EQ(store->DeleteUrl(L"HTTP://CONTRACT.EXAMPLE/A", 0), S_OK);
             EXPECT_EQ(store->DeleteUrl(a.c_str(), 0), S_FALSE);
             EXPECT_EQ(NextOf(open(0).Get(), 20).count, 2u);
         }},
    };
    for (const auto& [what, check] : cases) {
        SCOPED_TRACE(what);
        check();
    }
    for (const wchar_t* url : {b.c_str(), L"http://contract.example/big"})
        EXPECT_EQ(store->DeleteUrl(url, 0), S_OK);
}
