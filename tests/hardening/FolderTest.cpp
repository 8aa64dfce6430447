// A wallpaper folder as a bad day leaves it: a link loop, a sub-folder
// removed while the scan runs, one that cannot be read, ten thousand files
// in one folder, names of 255 characters and paths right at MAX_PATH.  The
// scan ends, lists what the program can use, and the change through the
// real Active Desktop object works.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/WallpaperChanger.h"
#include "engine/WallpaperSelection.h"
#include "settings/Settings.h"

using namespace tpx::test;

namespace {

// The edges Wine cannot be driven to: a folder the user may not read (Wine
// runs as a user who may read everything), and the moment between listing
// a folder and opening its sub-folders.
decltype(&CreateFileA) g_createFile;
decltype(&GetFileInformationByHandleEx) g_list;
std::string g_unreadable;
std::function<void()> g_afterFirstListing;

HANDLE WINAPI CreateFileRefusing(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (!g_unreadable.empty() && lstrcmpiA(path, g_unreadable.c_str()) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_createFile(path, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI ListThenInterfere(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size)
{
    const BOOL listed = g_list(folder, kind, buffer, size);
    if (g_afterFirstListing) {
        const std::function<void()> interfere = std::move(g_afterFirstListing);
        g_afterFirstListing = nullptr;
        interfere();
    }
    return listed;
}

// Runs the host's shell in `dir`: Wine makes neither links nor ten thousand
// files quickly.  A Unix process cannot be waited for: it leaves a mark.
bool HostShell(const std::string& dir, const std::string& script)
{
    const std::string mark = dir + "\\shell.done";
    DeleteFileA(mark.c_str());
    std::string command = "sh -c \"(" + script + ") ; touch shell.done\"";
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool done = WaitFor([&] { return FileExists(mark); }, 60000);
    DeleteFileA(mark.c_str());
    return done;
}

std::string Named(char letter, size_t length) { return std::string(length - 4, letter) + ".bmp"; }

}  // namespace

TEST(Folders, TheScanEndsListsWhatItCanReachAndTheChangeWorks)
{
    ASSERT_TRUE(PatchImport("CreateFileA", reinterpret_cast<void*>(CreateFileRefusing), &g_createFile) &&
                PatchImport("GetFileInformationByHandleEx", reinterpret_cast<void*>(ListThenInterfere), &g_list));
    AppRegistryScope registry;
    RegistrySnapshot components(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components");
    TempDir dir;
    const std::string& root = dir.Path();

    // A junction-like loop back to the top, ten thousand files, a folder
    // to be removed, one that cannot be read.
    ASSERT_TRUE(WriteSolidBmp(dir / "a.bmp", 16, 16, RGB(200, 40, 40)));
    ASSERT_TRUE(MakeDirs(dir / "deep\\gone") && MakeDirs(dir / "locked") && MakeDirs(dir / "many"));
    ASSERT_TRUE(WriteSolidBmp(dir / "deep\\gone\\g.bmp", 8, 8, 0) && WriteSolidBmp(dir / "locked\\l.bmp", 8, 8, 0));
    ASSERT_TRUE(HostShell(root, "ln -s .. deep/loop && ln -s ../many many/again && cd many && "
                                "seq -f %05g.bmp 10000 | xargs touch"));
    ASSERT_TRUE(FileExists(dir / "many\\10000.bmp") && FileExists(dir / "deep\\loop\\a.bmp"));

    // Names of 255 characters; files whose full paths end one short of
    // MAX_PATH (usable) and at it (no room for the NUL).
    const std::string longName = Named('n', 255);
    const size_t room = MAX_PATH - 1 - (root.size() + 1 + strlen("edge\\"));
    ASSERT_TRUE(MakeDirs(dir / "edge"));
    const std::string fits = dir / ("edge\\" + Named('f', room));
    const std::string over = dir / ("edge\\" + Named('o', room + 1));
    ASSERT_EQ(size_t(MAX_PATH - 1), fits.size());
    ASSERT_TRUE(WriteSolidBmp(fits, 16, 16, RGB(40, 170, 210)));
    ASSERT_TRUE(HostShell(root, "touch edge/" + Named('o', room + 1) + " " + longName));

    g_unreadable = dir / "locked";
    g_afterFirstListing = [&] { RemoveTree(dir / "deep\\gone"); };
    CStringArray list;
    const DWORD start = GetTickCount();
    CollectWallpapers(root.c_str(), &list, FALSE);
    const DWORD took = GetTickCount() - start;
    g_unreadable.clear();

    std::vector<std::string> found;
    for (int i = 0; i < list.GetSize(); ++i)
        found.push_back(static_cast<LPCSTR>(list[i]));
    auto listed = [&](const std::string& path) { return std::count(found.begin(), found.end(), path); };
    // Not listed: the path without room for its NUL, the name too long for it, the removed and the unreadable.
    EXPECT_EQ(0, listed(over) + listed(dir / longName) + listed(dir / "deep\\gone\\g.bmp") +
                     listed(dir / "locked\\l.bmp"));
    EXPECT_EQ(1, listed(dir / "many\\00001.bmp") + listed(dir / "many\\again\\00001.bmp"));
    EXPECT_EQ(1, listed(dir / "a.bmp") + listed(dir / "deep\\loop\\a.bmp"));
    EXPECT_EQ(1, listed(fits));
    EXPECT_EQ(10000 + 2u, found.size()) << "every file once";
    std::printf("scan: %zu files in %lu ms\n", found.size(), took);

    // The change: sequential from the file before the longest path to it, then on to the first.
    DialogAnswerer answerer;
    CWallpaperChanger changer;
    ASSERT_TRUE(changer.Initialize()) << "tpxactivedesktop.dll is not registered in the prefix";
    ASSERT_TRUE(changer.EnableActiveDesktop(FALSE));
    registry.Set("AutoChangeSelection", 1);
    const auto at = std::find(found.begin(), found.end(), fits);
    ASSERT_NE(found.end(), at);
    for (const auto& [current, next] : {std::pair{at == found.begin() ? found.back() : *(at - 1), fits},
                                        std::pair{found.back(), found.front()}}) {
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", current);
        changer.AutoChangeWallpaper(&list);
        EXPECT_EQ(next, NormalWallpaper());
    }
    EXPECT_TRUE(answerer.Seen().empty()) << answerer.Seen().front().text;
    // The links and the ten thousand files go faster, and safer, by the host's hand.
    EXPECT_TRUE(HostShell(root, "rm -rf many deep"));
}
