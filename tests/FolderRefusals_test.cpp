// Every kind of folder a purge refuses, and those it accepts, tried through the purge itself.
#include "TempPurge.h"
#include "module/modMain.h"
#include "platform/FileLocation.h"
#include <shlobj.h>
#include <knownfolders.h>

using namespace pbtest;

namespace {

std::wstring Known(const KNOWNFOLDERID& id) {
    PWSTR p = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &p);
    const std::wstring path = SUCCEEDED(hr) && p ? p : L"";
    CoTaskMemFree(p);
    return path;
}

std::wstring Environment(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), 32768));
    return value;
}

// The Unix home as Wine names it, "Z:\home\user"; empty on Windows.
std::wstring WineHome() {
    const std::wstring home = Environment(L"WINEHOMEDIR");
    return home.size() > 4 ? home.substr(4) : L""; // "\??\"
}

// A folder of the Unix side as Wine names it through Z:.
std::wstring OnZ(std::wstring unix) {
    std::replace(unix.begin(), unix.end(), L'/', L'\\');
    return L"Z:" + unix;
}

// cppcheck takes the members for unused: they are read through GetParam().
struct FolderCase {
    const char* name;         // cppcheck-suppress unusedStructMember
    std::wstring (*folder)(); // cppcheck-suppress unusedStructMember ; empty: no such folder here
    bool refused;             // cppcheck-suppress unusedStructMember
    bool canary = true;       // none where it would be the Linux side's own root or above the home
};

class Folders : public TempPurge, public testing::WithParamInterface<FolderCase> {
  protected:
    // Runs the temp stage on `folder`; whether it refused it.
    bool Refuses(const std::wstring& folder) {
        {
            TempDirOverride over(folder.back() == L'\\' ? folder : folder + L"\\");
            RunTempStage();
        }
        const auto lines = PurgeLines();
        return lines.size() == 3 &&
               lines[2] == L"          Purgebox will not remove files from this folder";
    }
};

#define KNOWN(id) [] { return Known(FOLDERID_##id); }
#define INSIDE(id) [] { return Known(FOLDERID_##id) + L"\\purgebox-inside"; }

const FolderCase kFolders[] = {
    {"Windows", KNOWN(Windows), true},
    {"System", KNOWN(System), true},
    {"SystemX86", KNOWN(SystemX86), true},
    {"Sysnative", [] { return sizeof(void*) == 4 ? pb::GetWindowsDir() + L"\\Sysnative" : L""; },
     true},
    {"ProgramFiles", KNOWN(ProgramFiles), true},
    {"ProgramFilesX86", KNOWN(ProgramFilesX86), true},
    {"ProgramFilesCommon", KNOWN(ProgramFilesCommon), true},
    {"ProgramFilesCommonX86", KNOWN(ProgramFilesCommonX86), true},
    {"ProgramData", KNOWN(ProgramData), true},
    {"Profile", KNOWN(Profile), true},
    {"AboveTheProfile", [] { return Known(FOLDERID_Profile) + L"\\.."; }, true},
    {"Public", KNOWN(Public), true},
    {"Desktop", KNOWN(Desktop), true},
    {"PublicDesktop", KNOWN(PublicDesktop), true},
    {"Documents", KNOWN(Documents), true},
    {"PublicDocuments", KNOWN(PublicDocuments), true},
    {"Downloads", KNOWN(Downloads), true},
    {"PublicDownloads", KNOWN(PublicDownloads), true},
    {"Music", KNOWN(Music), true},
    {"PublicMusic", KNOWN(PublicMusic), true},
    {"Pictures", KNOWN(Pictures), true},
    {"PublicPictures", KNOWN(PublicPictures), true},
    {"Videos", KNOWN(Videos), true},
    {"PublicVideos", KNOWN(PublicVideos), true},
    {"Favorites", KNOWN(Favorites), true},
    {"InsideDesktop", INSIDE(Desktop), true},
    {"InsidePublicDesktop", INSIDE(PublicDesktop), true},
    {"InsideDocuments", INSIDE(Documents), true},
    {"InsidePublicDocuments", INSIDE(PublicDocuments), true},
    {"InsideDownloads", INSIDE(Downloads), true},
    {"InsidePublicDownloads", INSIDE(PublicDownloads), true},
    {"InsideMusic", INSIDE(Music), true},
    {"InsidePublicMusic", INSIDE(PublicMusic), true},
    {"InsidePictures", INSIDE(Pictures), true},
    {"InsidePublicPictures", INSIDE(PublicPictures), true},
    {"InsideVideos", INSIDE(Videos), true},
    {"InsidePublicVideos", INSIDE(PublicVideos), true},
    {"InsideFavorites", INSIDE(Favorites), true},
    {"RootC", [] { return std::wstring(L"C:\\"); }, true, false},
    {"RootZ", [] { return std::wstring(L"Z:\\"); }, true, false},
    {"UnixHome", WineHome, true},
    {"AboveTheUnixHome", [] { return WineHome().empty() ? L"" : WineHome() + L"\\.."; }, true,
     false},
    {"InsideTheUnixHome",
     [] { return WineHome().empty() ? L"" : WineHome() + L"\\purgebox-projects"; }, true},
    {"APrefixInTheUnixHome",
     [] { return WineHome().empty() ? L"" : WineHome() + L"\\.purgebox-wine"; }, true},
    {"WindowsTemp", [] { return pb::GetWindowsDir() + L"\\Temp"; }, false},
    {"ProfileTemp", [] { return Known(FOLDERID_LocalAppData) + L"\\Temp"; }, false},
};

std::string CaseName(const testing::TestParamInfo<FolderCase>& info) {
    return info.param.name;
}

} // namespace

TEST_P(Folders, ArePurgedOnlyWhereNothingOfTheUsersOwnCanBe) {
    const std::wstring folder = GetParam().folder();
    if (folder.empty())
        GTEST_SKIP() << "no such folder on this platform";
    const bool made = !Exists(folder);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    ASSERT_TRUE(Exists(folder)) << testing::PrintToString(folder);
    const bool bare = !GetParam().canary;
    const std::wstring canary = folder + L"\\purgebox-canary.tmp";
    if (!bare) {
        ASSERT_TRUE(pb::UniqueFile(
            CreateFileW(canary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
    }
    EXPECT_EQ(Refuses(folder), GetParam().refused);
    if (!bare) {
        EXPECT_EQ(Exists(canary), GetParam().refused);
    }
    DeleteFileW(canary.c_str());
    if (made) // a known folder that is empty stays, as the user has it
        RemoveDirectoryW(folder.c_str());
}

INSTANTIATE_TEST_SUITE_P(Each, Folders, testing::ValuesIn(kFolders), CaseName);

TEST_F(TempPurge, APrefixInTheUnixHomeKeepsItsOwnFilesAndItsTempFolderIsPurged) {
    // As a user's own ~/.wine: the home made the folder above this prefix. Wine names the
    // prefix's folders below drive_c by C:, wherever they are reached from.
    const std::wstring prefix = Environment(L"WINEPREFIX"), home = Environment(L"WINEHOMEDIR");
    if (prefix.empty() || home.empty())
        GTEST_SKIP() << "Wine names its prefix and the Unix home; Windows has neither";
    const std::wstring above = prefix.substr(0, prefix.find_last_of(L'/'));
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + OnZ(above)).c_str());
    const std::wstring registry = OnZ(prefix) + L"\\purgebox-user.reg";
    const std::wstring temp = pb::GetWindowsDir() + L"\\Temp";
    const std::wstring file = temp + L"\\purgebox-accepted.tmp";
    for (const std::wstring& made : {registry, file})
        pb::UniqueFile(
            CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(Exists(registry));
    {
        TempDirOverride over(OnZ(prefix) + L"\\");
        RunTempStage();
    }
    EXPECT_EQ(PurgeLines().back(), L"          Purgebox will not remove files from this folder");
    {
        TempDirOverride over(temp + L"\\");
        RunTempStage();
    }
    SetEnvironmentVariableW(L"WINEHOMEDIR", home.c_str());
    EXPECT_TRUE(Exists(registry));
    EXPECT_FALSE(Exists(file));
    DeleteFileW(registry.c_str());
}

TEST_F(TempPurge, ADriveLeadingIntoTheUnixHomeIsRefused) {
    if (Environment(L"WINEHOMEDIR").empty())
        GTEST_SKIP() << "Wine names the Unix home; Windows has none";
    // A home of the test's own, never removed: Wine goes on naming what lies at its inode by
    // the drive letter for a while, and a later test's file that took the inode would read as
    // on that drive.
    const std::wstring home = L"C:\\pbtest-home", projects = home + L"\\projects";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW(projects.c_str(), nullptr);
    CreateDirectoryW((projects + L"\\build").c_str(), nullptr);
    const std::wstring saved = Environment(L"WINEHOMEDIR");
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + home).c_str());
    ASSERT_TRUE(RunUnix(L"ln -sfn " + UnixPath(projects) + L" \"$WINEPREFIX/dosdevices/p:\""));
    Sleep(1100); // Wine looks at its drives again only once a second
    ASSERT_TRUE(Exists(L"P:\\build"));
    const std::wstring canary = projects + L"\\build\\main.o";
    pb::UniqueFile(
        CreateFileW(canary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    {
        TempDirOverride over(L"P:\\build\\");
        RunTempStage();
    }
    SetEnvironmentVariableW(L"WINEHOMEDIR", saved.c_str());
    RunUnix(L"rm \"$WINEPREFIX/dosdevices/p:\"");
    EXPECT_TRUE(Exists(canary));
    EXPECT_EQ(PurgeLines().back(), L"          Purgebox will not remove files from this folder");
}

TEST_F(TempPurge, WithoutTheUnixHomeNoFolderIsPurgedAndTheLogSaysWhy) {
    const std::wstring home = Environment(L"WINEHOMEDIR");
    if (home.empty())
        GTEST_SKIP() << "Wine names the Unix home; Windows has none";
    // As for a program started with an environment of another's making.
    const std::wstring file = dir_.File(L"kept.tmp");
    SetEnvironmentVariableW(L"WINEHOMEDIR", nullptr);
    RunTempStage();
    SetEnvironmentVariableW(L"WINEHOMEDIR", home.c_str());
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(
        PurgeLines(),
        (std::vector<std::wstring>{
            L"          Windows Temp Directory found", L"          " + pb::ToUpper(dir_.path()),
            L"          Purgebox will not remove files from this folder",
            L"          Purgebox cannot tell where the Unix home is (WINEHOMEDIR is not set)"}));
}

TEST_F(TempPurge, AUnixHomeNamedWithATrailingBlankKeepsWhatIsInIt) {
    // Wine names the home "home" without its blank, and what is in it "home \...".
    const std::wstring saved = Environment(L"WINEHOMEDIR");
    if (saved.empty())
        GTEST_SKIP() << "Wine names the Unix home; Windows has none";
    const std::wstring home = dir_.path() + L"\\home ", projects = home + L"\\projects";
    ASSERT_TRUE(RunUnix(L"mkdir -p " + UnixPath(projects) + L" && echo keep > " +
                        UnixPath(projects + L"\\main.c")));
    ASSERT_TRUE(Exists(pb::LongPath(projects + L"\\main.c")));
    SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + home).c_str());
    {
        TempDirOverride over(projects + L"\\");
        RunTempStage();
    }
    SetEnvironmentVariableW(L"WINEHOMEDIR", saved.c_str());
    EXPECT_TRUE(Exists(pb::LongPath(projects + L"\\main.c")));
    EXPECT_EQ(PurgeLines().back(), L"          Purgebox will not remove files from this folder");
}
