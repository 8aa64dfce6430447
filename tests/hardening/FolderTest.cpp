// A wallpaper folder as a bad day leaves it: a link loop, a sub-folder
// removed while the scan runs, ten thousand files in one folder, names of
// 255 characters and paths right at MAX_PATH.  The scan ends and lists each
// file the program can use once.  (Such paths through a change:
// test_names.cpp.)
#include <string>
#include <utility>

#include "tests/engine/EngineTest.h"
#include "engine/WallpaperSelection.h"

using namespace tpx::test;

namespace {

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

TEST(Folders, TheScanEndsAndListsWhatItCanReachOnce)
{
    ASSERT_TRUE(ListingsRelisted());
    AppRegistryScope registry;
    TempDir dir;
    const std::string& root = dir.Path();

    // A junction-like loop back to the top, ten thousand files, a folder
    // to be removed.
    ASSERT_TRUE(WritePicture(dir / "a.bmp", 16, 16, RGB(200, 40, 40)));
    ASSERT_TRUE(MakeDirs(dir / "deep\\gone") && MakeDirs(dir / "many"));
    ASSERT_TRUE(WritePicture(dir / "deep\\gone\\g.bmp", 8, 8, 0));
    ASSERT_TRUE(HostShell(root, "ln -s .. deep/loop && ln -s ../many many/again && cd many && "
                                "seq -f %05g.bmp 10000 | xargs touch"));
    ASSERT_TRUE(FileExists(dir / "many\\10000.bmp") && FileExists(dir / "deep\\loop\\a.bmp"));

    // A name of 255 characters; files whose full paths end one short of
    // MAX_PATH (usable) and at it (no room for the NUL).
    const size_t room = MAX_PATH - 1 - (root.size() + 1 + strlen("edge\\"));
    ASSERT_TRUE(MakeDirs(dir / "edge"));
    ASSERT_TRUE(HostShell(root, "touch edge/" + Named('f', room) + " edge/" + Named('o', room + 1) + " " +
                                    Named('n', 255)));

    g_relist = [&, removed = false](FILE_ID_BOTH_DIR_INFO&) mutable {  // between the first listing and the rest
        if (!std::exchange(removed, true))
            RemoveTree(dir / "deep\\gone");
    };
    CStringArray list;
    CollectWallpapers(root.c_str(), &list, FALSE);
    g_relist = nullptr;

    // Each of the ten thousand, "a.bmp" and the path one short of MAX_PATH
    // once, whichever way the links lead to them; not the path without room
    // for its NUL, the name too long for the folder, the removed folder's
    // file.  Any of those, or a file twice, changes the count.
    EXPECT_EQ(10000 + 2, list.GetSize());

    // The links and the ten thousand files go faster, and safer, by the host's hand.
    EXPECT_TRUE(HostShell(root, "rm -rf many deep"));
}
