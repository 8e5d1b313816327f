#include "Seams.h"
#include "TempPurge.h"
#include "module/FolderPurge.h"
#include "module/RefusedFolders.h"
#include "module/modMain.h"
#include "platform/Errors.h"
#include "platform/Handles.h"
#include "platform/Pump.h"
#include <atomic>
#include <shlobj.h>
#include <knownfolders.h>

using namespace pbtest;

namespace {

bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string Content(const std::wstring& path) {
    char buf[16] = {};
    DWORD got = 0;
    const pb::UniqueFile h(CreateFileW(pb::LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    ReadFile(h.get(), buf, sizeof buf - 1, &got, nullptr);
    return std::string(buf, got);
}

DWORD SerialOf(const std::wstring& root) {
    DWORD serial = 0;
    GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    return serial;
}

std::uint64_t IdOf(const std::wstring& path) {
    const pb::UniqueFile h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    return h ? pb::FileIdOf(h.get()).value_or(0) : 0;
}

} // namespace

TEST_F(TempPurge, FileLinksGoAsLinksAndTheirTargetsStay) {
    ScratchDir outside(L"outside");
    const std::wstring target = outside.File(L"target.txt");
    const std::wstring link = dir_.path() + L"\\link.txt";
    const std::wstring dirLink = dir_.path() + L"\\dirlink";
    // Wine 8 answers TRUE and makes nothing: only a link that is there counts.
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0) || !IsLink(link))
        GTEST_SKIP() << "this platform makes no symbolic link through the API";
    if (!CreateSymbolicLinkW(dirLink.c_str(), outside.path().c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        !IsLink(dirLink))
        GTEST_SKIP() << "this platform makes no folder link through the API";
    const std::wstring inside = outside.File(L"inside.txt");
    RunTempStage();
    EXPECT_FALSE(Exists(link));
    EXPECT_TRUE(Exists(target));
    EXPECT_TRUE(Exists(dirLink));
    EXPECT_TRUE(Exists(inside));
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

TEST_F(MainWindowTest, UnixLinksStayWithTheirTargetsAlsoWhenTheFolderIsSwappedAfterTheListing) {
    // Made on the Unix side: in links/, a link to a file outside; in swap/, which is put in
    // place of links/ after the purge has listed it, a link and a file of the same names.
    const ScratchDir scratch(L"swapped");
    const std::wstring fixtures = scratch.path() + L"\\";
    ASSERT_TRUE(
        RunUnix(L"cd " + UnixPath(scratch.path()) +
                L" && mkdir outside links swap && echo keep > outside/a.txt"
                L" && ln -s ../outside/a.txt links/a.txt && ln -s ../outside/a.txt swap/a.txt"
                L" && echo keep > swap/b.txt"));
    ASSERT_TRUE(Exists(fixtures + L"links\\a.txt"));
    const std::wstring links = fixtures + L"links", plain = links + L"\\b.txt";
    CloseHandle(CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    TempDirOverride tmp(links);
    // Once listed, the folder is swapped for one whose a.txt is a link too, and whose b.txt is
    // another file, before any file is opened for its deletion: through Windows the held
    // folder cannot be renamed, so from the Unix side.
    const auto swap = OnceListed(form().File1.hwnd(), [&] {
        EXPECT_FALSE(MoveFileW(links.c_str(), (fixtures + L"listed").c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(RunUnix(L"cd " + UnixPath(fixtures) + L" && mv links listed && mv swap links"));
    });
    form().Check5.SetValue(1);
    SendMessageW(form().Command1.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(Exists(fixtures + L"outside\\a.txt"));
    EXPECT_TRUE(Exists(fixtures + L"links\\b.txt"));  // at a listed path, but not the listed file
    EXPECT_TRUE(Exists(fixtures + L"listed\\b.txt")); // listed, but no longer at its path
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 4], L"          Purgebox removed 0 files");
    EXPECT_EQ(lines[lines.size() - 3], L"          Purgebox could not remove 2 files");
}

TEST_F(TempPurge, FoldersHoldingTheUsersOwnFilesAreNotPurged) {
    // As a user of Wine may have it: the temp folder set to the Unix home, as Wine shows it.
    std::wstring home(MAX_PATH, L'\0');
    home.resize(GetEnvironmentVariableW(L"WINEHOMEDIR", home.data(), MAX_PATH));
    if (home.empty())
        GTEST_SKIP() << "Wine names the Unix home; Windows has none";
    home.erase(0, 4); // "\??\"
    const std::wstring canary = home + L"\\purgebox-my-cv.odt";
    CloseHandle(CreateFileW(canary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    {
        TempDirOverride over(home);
        RunTempStage();
    }
    EXPECT_TRUE(Exists(canary));
    DeleteFileW(canary.c_str());
    EXPECT_EQ(PurgeLines(),
              (std::vector<std::wstring>{
                  L"          Windows Temp Directory found", L"          " + pb::ToUpper(home),
                  L"          Purgebox will not remove files from this folder"}));

    auto known = [](const KNOWNFOLDERID& id) {
        PWSTR p = nullptr;
        EXPECT_EQ(SHGetKnownFolderPath(id, 0, nullptr, &p), S_OK);
        const std::wstring path = p ? p : L"";
        CoTaskMemFree(p);
        return path;
    };
    const std::wstring publicDocs = known(FOLDERID_PublicDocuments) + L"\\purgebox-sub";
    CreateDirectoryW(publicDocs.c_str(), nullptr);
    const std::wstring refused[] = {L"C:\\",
                                    L"Z:\\",
                                    home,
                                    home.substr(0, home.rfind(L'\\')), // a root, the home, above it
                                    known(FOLDERID_Windows),
                                    known(FOLDERID_System),
                                    known(FOLDERID_ProgramFiles),
                                    known(FOLDERID_ProgramData),
                                    known(FOLDERID_Public),
                                    known(FOLDERID_Profile),
                                    known(FOLDERID_Profile) + L"\\..", // above the profile
                                    known(FOLDERID_Favorites),
                                    known(FOLDERID_Documents) + L"\\.\\",
                                    publicDocs};
    for (const std::wstring& path : refused) {
        CreateDirectoryW(path.c_str(), nullptr);
        EXPECT_TRUE(HoldsUsersOwnFiles(path)) << testing::PrintToString(path);
    }
    RemoveDirectoryW(publicDocs.c_str());
    // Below a protected folder, not above it.
    EXPECT_FALSE(HoldsUsersOwnFiles(pb::GetWindowsDir() + L"\\Temp"));
    EXPECT_FALSE(HoldsUsersOwnFiles(known(FOLDERID_LocalAppData) + L"\\Temp"));
    EXPECT_FALSE(HoldsUsersOwnFiles(dir_.path()));
    // The home Wine names counts whether or not the profile's folders lead into it.
    const std::wstring inner = dir_.path() + L"\\inner";
    CreateDirectoryW(inner.c_str(), nullptr);
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + inner).c_str());
    EXPECT_TRUE(HoldsUsersOwnFiles(inner));
    EXPECT_TRUE(HoldsUsersOwnFiles(dir_.path()));
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + home).c_str());
    // A drive letter the user gave a folder (one of the home's, say): where it leads cannot be
    // told. These folders are never removed: Wine goes on naming what lies at their inodes P:
    // and Q: for a while, and a later test's file that took an inode would read as on them.
    // The home is reached through Q:, and both drives answer the same serial number (Wine
    // answers 0 for a drive whose file system its mount manager does not know): a drive's
    // serial tells nothing of where it leads.
    const std::wstring drive = L"C:\\pbtest-drive-p", homeDrive = L"C:\\pbtest-drive-q";
    CreateDirectoryW(drive.c_str(), nullptr);
    CreateDirectoryW(homeDrive.c_str(), nullptr);
    ASSERT_TRUE(RunUnix(L"ln -s " + UnixPath(drive) + L" \"$WINEPREFIX/dosdevices/p:\" && ln -s " +
                        UnixPath(homeDrive) + L" \"$WINEPREFIX/dosdevices/q:\""));
    CreateDirectoryW(L"P:\\sub", nullptr);
    Sleep(1100); // Wine looks at its drives again only once a second
    ASSERT_TRUE(Exists(L"Q:\\"));
    ASSERT_EQ(SerialOf(L"P:\\"), SerialOf(L"Q:\\"));
    SetEnvironmentVariableW(L"WINEHOMEDIR", L"\\??\\Q:\\");
    EXPECT_TRUE(HoldsUsersOwnFiles(L"P:\\sub"));
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + home).c_str());
    RunUnix(L"rm \"$WINEPREFIX/dosdevices/q:\"");
    RunUnix(L"rm \"$WINEPREFIX/dosdevices/p:\"");
}

TEST_F(TempPurge, WhatOtherLinuxProgramsLeaveStaysWithItsOwner) {
    // Made from the Unix side, where Wine shows links as plain files: a link to a file in a
    // sibling folder whose name differs from the temp folder's only in case, a link outside,
    // a hard link, a pipe and a socket.
    const std::wstring outside = dir_.File(L"outside.txt", "keep");
    const std::wstring made = L"cd " + UnixPath(dir_.path()) +
                              L" && mkdir Twin twin && echo keep > twin/x && ln -s ../twin/x Twin/x"
                              L" && ln -s ../outside.txt Twin/link.txt && ln outside.txt Twin/hard"
                              L" && echo keep > Twin/.settings && ln -s .settings Twin/shown"
                              L" && mkfifo Twin/pipe && echo a > Twin/plain.txt && python3 -c "
                              L"'import socket; socket.socket(socket.AF_UNIX).bind(\"Twin/sock\")'";
    if (!RunUnix(made))
        GTEST_SKIP() << "no Unix side to make them from";
    const std::wstring twin = dir_.path() + L"\\Twin";
    {
        TempDirOverride over(twin);
        RunTempStage();
    }
    EXPECT_EQ(Content(dir_.path() + L"\\twin\\x"), "keep\n");
    EXPECT_EQ(Content(outside), "keep");
    // A hidden file, not listed, reached through a link of another name that is.
    EXPECT_EQ(Content(twin + L"\\.settings"), "keep\n");
    EXPECT_FALSE(Exists(twin + L"\\plain.txt"));
    EXPECT_FALSE(Exists(twin + L"\\hard")); // the name only: the other keeps the data
    EXPECT_TRUE(RunUnix(L"cd " + UnixPath(twin) + L" && test -p pipe && test -S sock"));
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 2 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 5 files");
}

TEST_F(TempPurge, AFolderWithPathsBeyond260CharactersIsPurgedOfItsOwnFilesOnly) {
    // The folder itself beyond the length Wine names a final path for.
    std::wstring temp = dir_.path() + L"\\";
    temp += std::wstring(150 - temp.size(), L't');
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    temp += L"\\" + std::wstring(150, L'u');
    ASSERT_TRUE(CreateDirectoryW(pb::LongPath(temp).c_str(), nullptr));
    const std::wstring names[] = {L"short.txt", std::wstring(124, L'n'), std::wstring(204, L'm')};
    for (const std::wstring& n : names)
        pb::UniqueFile(CreateFileW(pb::LongPath(temp + L"\\" + n).c_str(), GENERIC_WRITE, 0,
                                   nullptr, CREATE_ALWAYS, 0, nullptr));
    // A link of as long a name, made on the Unix side, to a file as far down outside.
    const std::wstring outer =
        dir_.path() + L"\\" +
        std::wstring(temp.find(L'\\', dir_.path().size() + 1) - dir_.path().size() - 1, L'o');
    const std::wstring outside = outer + L"\\" + std::wstring(150, L'p');
    const std::wstring target = pb::LongPath(outside + L"\\" + std::wstring(200, L'l'));
    ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(pb::LongPath(outside).c_str(), nullptr));
    pb::UniqueFile(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(RunUnix(L"ln -s " + UnixPath(target.substr(4)) + L" " +
                        UnixPath(temp + L"\\" + std::wstring(200, L'l'))));
    // Reached through a link of a short name, as a temp path must be.
    const std::wstring shortcut = dir_.path() + L"\\short";
    ASSERT_TRUE(RunUnix(L"ln -s " + UnixPath(temp) + L" " + UnixPath(shortcut)));
    const std::optional<pb::Location> where = pb::LocationOf(shortcut);
    ASSERT_TRUE(where);
    if (!where->final.empty())
        GTEST_SKIP() << "this platform names a final path this long";
    {
        TempDirOverride over(shortcut);
        RunTempStage();
    }
    for (const std::wstring& n : names)
        EXPECT_FALSE(Exists(pb::LongPath(temp + L"\\" + n))) << n.size();
    EXPECT_TRUE(Exists(target));
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 3 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 1 files");
}

TEST_F(TempPurge, AFileCannotBeMovedAwayBetweenItsCheckAndItsDeletion) {
    // A program saving through a temp file renames it into the user's documents.
    ScratchDir documents(L"documents");
    const std::wstring doc = dir_.File(L"doc.tmp"), save = dir_.File(L"save.tmp", "saved");
    const std::wstring renamed = dir_.File(L"renamed.tmp", "renamed");
    const std::wstring checked = dir_.File(L"checked.tmp", "checked");
    const std::wstring touched = dir_.File(L"touched.tmp", "touched");
    const auto atDeletion = pb::seams::deletion.Use([&](pb::DeletionStep step,
                                                        const std::wstring& name) {
        if (step == pb::DeletionStep::Check && name == L"checked.tmp") { // while it is checked
            EXPECT_TRUE(RunUnix(L"mv " + UnixPath(checked) + L" " + UnixPath(checked + L".odt")));
        }
        if (step != pb::DeletionStep::Delete)
            return;
        if (name == L"touched.tmp") { // changed, not moved
            EXPECT_TRUE(RunUnix(L"touch " + UnixPath(touched)));
        } else if (name == L"doc.tmp") {
            EXPECT_FALSE(MoveFileW(doc.c_str(), (documents.path() + L"\\doc.odt").c_str()));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        } else if (name == L"save.tmp") { // the Unix side knows no sharing
            EXPECT_TRUE(RunUnix(L"mv " + UnixPath(save) + L" " +
                                UnixPath(documents.path() + L"\\save.odt") + L" && echo new > " +
                                UnixPath(save)));
        } else if (name == L"renamed.tmp") {
            EXPECT_TRUE(RunUnix(L"mv " + UnixPath(renamed) + L" " + UnixPath(renamed + L".odt")));
        }
    });
    RunTempStage();
    EXPECT_FALSE(Exists(doc));
    EXPECT_FALSE(Exists(documents.path() + L"\\doc.odt"));
    // Moved from the Unix side, to another name in the folder or away with another put at its
    // name: all kept, and none counted as removed.
    EXPECT_EQ(Content(documents.path() + L"\\save.odt"), "saved");
    EXPECT_EQ(Content(save), "new\n");
    EXPECT_EQ(Content(renamed + L".odt"), "renamed");
    EXPECT_EQ(Content(checked + L".odt"), "checked");
    EXPECT_EQ(Content(touched), "touched"); // kept in place: counted as not removed
    const std::vector<std::wstring> lines = PurgeLines();
    ASSERT_EQ(lines.size(), 11u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[9], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[10], L"          Purgebox could not remove 1 files");
}

TEST_F(TempPurge, FilesAFolderWillNotLetGoAreCountedAsNotRemoved) {
    // Wine deletes a file only when its handle closes, and says nothing when the Unix side then
    // refuses; here an append-only folder, which refuses even the superuser.
    dir_.File(L"a.tmp");
    dir_.File(L"b.tmp");
    if (!RunUnix(L"chattr +a " + UnixPath(dir_.path())))
        GTEST_SKIP() << "this file system makes no append-only folder";
    RunTempStage();
    EXPECT_TRUE(RunUnix(L"chattr -a " + UnixPath(dir_.path())));
    EXPECT_EQ(ListFolderFiles(dir_.path()).size(), 2u);
    const std::vector<std::wstring> lines = PurgeLines();
    ASSERT_EQ(lines.size(), 8u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[6], L"          Purgebox removed 0 files");
    EXPECT_EQ(lines[7], L"          Purgebox could not remove 2 files");
}

TEST_F(TempPurge, AFileWhoseDeletionWaitsForAnotherHandleIsCountedAsNotRemoved) {
    // What every machine can make: another program's handle, open with delete sharing, keeps
    // the file until it is closed; the purge cannot see it go.
    dir_.File(L"a.tmp");
    const std::wstring held = dir_.File(L"b.tmp");
    pb::UniqueFile other(CreateFileW(held.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other);
    RunTempStage();
    EXPECT_TRUE(Exists(held));
    const std::vector<std::wstring> lines = PurgeLines();
    ASSERT_EQ(lines.size(), 8u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[6], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[7], L"          Purgebox could not remove 1 files");
    other.reset();
    EXPECT_FALSE(Exists(held)); // it went once the other handle closed
}

TEST_F(TempPurge, ANameThatHoldsAnotherFileOnceItsOwnWentIsCountedNeitherWay) {
    // Once a.tmp is gone, another program puts a file of its own there (a new name for it):
    // a.tmp went by this purge, but what the folder holds at the name now is no proof of it.
    ScratchDir elsewhere(L"elsewhere");
    const std::wstring theirs = elsewhere.File(L"theirs.txt", "theirs");
    const std::wstring first = dir_.File(L"a.tmp");
    dir_.File(L"z.tmp");
    const auto atDeletion =
        pb::seams::deletion.Use([&](pb::DeletionStep step, const std::wstring& name) {
            if (step != pb::DeletionStep::Delete || name != L"z.tmp")
                return;
            for (int waited = 0; Exists(first) && waited < 10000; waited += 5)
                Sleep(5); // the other deleting thread may still be at a.tmp
            EXPECT_TRUE(CreateHardLinkW(first.c_str(), theirs.c_str(), nullptr));
        });
    RunTempStage();
    EXPECT_EQ(Content(first), "theirs");
    const std::vector<std::wstring> lines = PurgeLines();
    ASSERT_EQ(lines.size(), 7u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[6], L"          Purgebox removed 1 files");
}

TEST_F(TempPurge, AFileMadeAnewAtAListedNameStaysThoughItCarriesTheListedId) {
    // ext4 hands a new file the id just freed: removed and made again from the Linux side
    // after the listing, the file at the name may carry the listed id.
    dir_.File(L"f1.tmp");
    const std::wstring again = dir_.File(L"f2.tmp", "listed");
    const std::uint64_t listed = IdOf(again);
    ASSERT_NE(listed, 0u);
    bool sameId = false;
    const auto swap = OnceListed(form().File1.hwnd(), [&] {
        EXPECT_TRUE(RunUnix(L"rm " + UnixPath(again) + L" && echo new > " + UnixPath(again)));
        sameId = IdOf(again) == listed;
    });
    RunTempStage();
    EXPECT_EQ(Content(again), "new\n");
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 1 files");
    if (!sameId)
        GTEST_SKIP() << "the file system gave the new file another id";
}

TEST_F(TempPurge, AFolderPutAtAListedNameAfterTheListingDoesNotOpen) {
    dir_.File(L"f1.tmp");
    const std::wstring name = dir_.File(L"f2.tmp");
    const auto swap = OnceListed(form().File1.hwnd(), [&] {
        EXPECT_TRUE(RunUnix(L"rm " + UnixPath(name) + L" && mkdir " + UnixPath(name) +
                            L" && echo keep > " + UnixPath(name + L"\\inner")));
    });
    RunTempStage();
    EXPECT_EQ(Content(name + L"\\inner"), "keep\n");
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 1 files");
    // The open itself refuses it; the purge above would keep it by its write time and id too.
    const std::optional<pb::HeldFolder> held = pb::HeldFolder::Open(dir_.path());
    ASSERT_TRUE(held);
    pb::UniqueKernelHandle opened;
    EXPECT_NE(held->OpenEntry(L"f2.tmp", opened), pb::EntryOpen::Opened);
    EXPECT_FALSE(opened);
}

TEST_F(TempPurge, TwoNamesOfOneFileGoBothThoughEachThreadHoldsOne) {
    // Each thread holds its file without delete sharing, which bars the other name too.
    const std::wstring one = dir_.File(L"one.txt");
    ASSERT_TRUE(CreateHardLinkW((dir_.path() + L"\\two.txt").c_str(), one.c_str(), nullptr));
    std::atomic<bool> first{true};
    std::atomic<int> opens{0};
    const auto atDeletion =
        pb::seams::deletion.Use([&](pb::DeletionStep step, const std::wstring&) {
            if (step == pb::DeletionStep::Open)
                ++opens;
            else if (first.exchange(false)) // the other thread meanwhile opens the other name
                for (int waited = 0; waited < 100 && (opens < 2 || waited < 10); ++waited)
                    Sleep(10);
        });
    RunTempStage();
    EXPECT_FALSE(Exists(one));
    EXPECT_FALSE(Exists(dir_.path() + L"\\two.txt"));
    EXPECT_EQ(PurgeLines().back(), L"          Purgebox removed 2 files");
}

TEST_F(TempPurge, AnErrorOnTheDeletingThreadIsReportedAndLeavesNoIcon) {
    constexpr int kFiles = 40;
    for (int i = 0; i < kFiles; ++i)
        dir_.File(L"f" + std::to_wstring(i) + L".tmp");
    static std::wstring reported;
    reported.clear();
    const auto reports = pb::seams::fatalError.Use([](const std::wstring& m) { reported = m; });
    std::atomic<bool> thrown{false};
    const auto atDeletion = pb::seams::deletion.Use([&](pb::DeletionStep, const std::wstring&) {
        if (!thrown.exchange(true))
            throw std::bad_alloc();
        Sleep(200); // the other thread, meanwhile, takes no more files
    });
    pb::MinimizeToTray();
    ASSERT_TRUE(TrayIconPresent()); // premise: the shell took it
    form().Check5.SetValue(1);
    SendMessageW(form().hwnd(), WM_COMMAND, MAKEWPARAM(form().Command1.Id(), BN_CLICKED),
                 reinterpret_cast<LPARAM>(form().Command1.hwnd()));
    EXPECT_NE(reported.find(L"bad_alloc"), std::wstring::npos) << testing::PrintToString(reported);
    EXPECT_FALSE(TrayIconPresent());
    EXPECT_GE(ListFolderFiles(dir_.path()).size(), kFiles - 2u);
}

TEST_F(TempPurge, AnErrorWhileTheOtherThreadWaitsForABusyFileIsStillReported) {
    // The other thread finds its file busy and waits for the failing one to be done with its
    // own: it must not wait for ever.
    dir_.File(L"a.tmp");
    const std::wstring busy = dir_.File(L"b.tmp");
    const pb::UniqueFile hold(CreateFileW(busy.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    static std::wstring reported;
    reported.clear();
    const auto reports = pb::seams::fatalError.Use([](const std::wstring& m) { reported = m; });
    std::atomic<int> busyTries{0};
    const auto atDeletion =
        pb::seams::deletion.Use([&](pb::DeletionStep step, const std::wstring& name) {
            if (name == L"b.tmp") {
                ++busyTries;
            } else if (step == pb::DeletionStep::Open) {
                for (int waited = 0; busyTries == 0 && waited < 1000; waited += 10)
                    Sleep(10);
                Sleep(50); // the other thread is in its wait
                throw std::bad_alloc();
            }
        });
    RunTempStage();
    EXPECT_NE(reported.find(L"bad_alloc"), std::wstring::npos) << testing::PrintToString(reported);
    EXPECT_TRUE(Exists(busy));
}

TEST_F(TempPurge, AFolderNamedWithATrailingBlankIsToldFromItsSibling) {
    // Made from the Linux side: "work " and "work", and in "work " a link to a file of "work".
    // Wine names the folder "work" without its blank.
    if (!RunUnix(L"cd " + UnixPath(dir_.path()) +
                 L" && mkdir 'work ' work && echo keep > work/x && echo keep > work/own"
                 L" && ln -s ../work/x 'work /x' && echo a > 'work /own'"))
        GTEST_SKIP() << "no Unix side to make them from";
    const std::wstring blank = dir_.path() + L"\\work ", sibling = dir_.path() + L"\\work";
    ASSERT_EQ(Content(blank + L"\\own"), "a\n");
    {
        TempDirOverride over(blank + L"\\");
        RunTempStage();
    }
    EXPECT_EQ(PurgeLines()[1], L"          " + pb::ToUpper(blank));
    EXPECT_FALSE(Exists(pb::LongPath(blank + L"\\own")));
    EXPECT_EQ(Content(sibling + L"\\x"), "keep\n");
    EXPECT_EQ(Content(sibling + L"\\own"), "keep\n");
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 1 files");
}

TEST_F(TempPurge, AFolderAboveSwappedAfterTheListingChangesNothingThatGoes) {
    // The files are opened relative to the folder that was checked, wherever it has gone since,
    // never by its path: what is put at its old path was not listed.
    const std::wstring above = dir_.path() + L"\\above", temp = above + L"\\temp";
    ASSERT_TRUE(CreateDirectoryW(above.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    for (const wchar_t* name : {L"\\f1.tmp", L"\\f2.tmp"})
        pb::UniqueFile(CreateFileW((temp + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   0, nullptr));
    const auto swap = OnceListed(form().File1.hwnd(), [&] {
        EXPECT_TRUE(RunUnix(L"cd " + UnixPath(dir_.path()) +
                            L" && mv above moved && mkdir -p above/temp"
                            L" && echo new > above/temp/f1.tmp"));
    });
    {
        TempDirOverride over(temp + L"\\");
        RunTempStage();
    }
    EXPECT_EQ(Content(temp + L"\\f1.tmp"), "new\n");
    // Wine names a file opened that way, and removes it at its handle's close, by the folder's
    // path as it was: that now leads elsewhere, so the listed files stay, counted as such.
    EXPECT_TRUE(Exists(dir_.path() + L"\\moved\\temp\\f1.tmp"));
    EXPECT_TRUE(Exists(dir_.path() + L"\\moved\\temp\\f2.tmp"));
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 0 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 2 files");
}

TEST_F(TempPurge, AFilePutAtAListedNameAfterTheListingStays) {
    const std::wstring kept = dir_.File(L"f1.tmp"), swapped = dir_.File(L"f2.tmp", "listed");
    const auto swap = OnceListed(form().File1.hwnd(), [&] {
        EXPECT_TRUE(RunUnix(L"cd " + UnixPath(dir_.path()) +
                            L" && mv f2.tmp f2.moved && echo new > f2.tmp"));
    });
    RunTempStage();
    EXPECT_FALSE(Exists(kept));
    EXPECT_EQ(Content(swapped), "new\n");
    EXPECT_EQ(Content(dir_.path() + L"\\f2.moved"), "listed");
    const auto lines = PurgeLines();
    EXPECT_EQ(lines[lines.size() - 2], L"          Purgebox removed 1 files");
    EXPECT_EQ(lines[lines.size() - 1], L"          Purgebox could not remove 1 files");
}
