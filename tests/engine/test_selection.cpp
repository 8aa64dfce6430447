// Choosing the next wallpaper: the folder scan (which files count, in which
// order, link loops, the setting read once) and the random and sequential
// choice with the recording Active Desktop object and real conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ChangerFixture.h"
#include "PictureFiles.h"
#include "engine/WallpaperSelection.h"

namespace tpx::test {
namespace {

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Makes `link` a symbolic link to the directory `target`.  Wine's
// CreateSymbolicLink does nothing, so under Wine the link is made by the
// host's ln through the drive that maps the host's root.
bool MakeDirectoryLink(const std::string& link, const std::string& target)
{
    if (!RunningUnderWine())
        return CreateSymbolicLinkA(link.c_str(), target.c_str(),
                                   SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* allow unprivileged create */) != FALSE;

    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return false;
    const size_t slash = link.rfind('\\');
    char* unixParent = toUnix(Wide(link.substr(0, slash)).c_str());
    char* unixTarget = toUnix(Wide(target).c_str());
    if (!unixParent || !unixTarget)
        return false;
    std::string command = std::string("ln -s \"") + unixTarget + "\" \"" + unixParent + "/" + link.substr(slash + 1) + "\"";
    HeapFree(GetProcessHeap(), 0, unixParent);
    HeapFree(GetProcessHeap(), 0, unixTarget);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // A host process cannot be waited for from here; its result can.
    return WaitFor([&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

class SelectionTest : public ChangerFixture {
protected:
    // Creates each file (a path ending in a backslash is a folder).
    void Make(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            const std::string path = dir / name;
            if (path.back() == '\\')
                ASSERT_TRUE(MakeDirs(path.substr(0, path.size() - 1)));
            else
                ASSERT_TRUE(WriteFileText(path, name));
        }
    }
    // CollectWallpapers on `folder`, the paths given relative to the test folder.
    std::vector<std::string> Collect(const std::string& folder, BOOL acceptAll) const
    {
        CStringArray list;
        CollectWallpapers(folder.c_str(), &list, acceptAll);
        std::vector<std::string> names;
        const std::string prefix = dir.Path() + "\\";
        for (int i = 0; i < list.GetSize(); ++i) {
            std::string path = static_cast<LPCSTR>(list[i]);
            names.push_back(path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path);
        }
        return names;
    }
    std::vector<std::string> Collect(BOOL acceptAll) const { return Collect(dir.Path(), acceptAll); }

    static void Fill(CStringArray* list, std::initializer_list<std::string> paths)
    {
        for (const std::string& path : paths)
            list->Add(path.c_str());
    }

    TempDir dir;
};

using Names = std::vector<std::string>;

// ---------------------------------------------------------------- the scan

TEST_F(SelectionTest, FolderExampleForEachSetting)
{
    Make({"a.bmp", "b.JPG", "c\\", "c\\c.gif", "d.bmp", "notes.txt", "page.htm", "x.jpeg"});

    Set("ConvertToBmp", 0);
    EXPECT_EQ(Collect(FALSE), Names({"a.bmp", "d.bmp"}));
    Set("ConvertToBmp", 1);
    // The sub-folder's files come at the sub-folder's place.
    EXPECT_EQ(Collect(FALSE), Names({"a.bmp", "b.JPG", "c\\c.gif", "d.bmp"}));
    // Active Desktop on: every file, whatever "ConvertToBmp" says.
    Set("ConvertToBmp", 0);
    EXPECT_EQ(Collect(TRUE), Names({"a.bmp", "b.JPG", "c\\c.gif", "d.bmp", "notes.txt", "page.htm", "x.jpeg"}));
}

TEST_F(SelectionTest, FolderExampleWithASubFolderNamedS)
{
    // NTFS order puts the folder s after d.bmp.
    Make({"a.bmp", "b.JPG", "s\\", "s\\c.gif", "d.bmp"});
    Set("ConvertToBmp", 1);
    EXPECT_EQ(Collect(FALSE), Names({"a.bmp", "b.JPG", "d.bmp", "s\\c.gif"}));
}

TEST_F(SelectionTest, OnlyTheLastFourCharactersDecide)
{
    Make({"x.jpeg", "y.JPEG", "z.Gif", "bmp", "w.BMP", "v.bmp.txt", "u.png", "t.jpg\\", "t.jpg\\in.bmp"});
    Set("ConvertToBmp", 1);
    EXPECT_EQ(Collect(FALSE), Names({"t.jpg\\in.bmp", "w.BMP", "z.Gif"}));
}

TEST_F(SelectionTest, EveryFolderIsListedInNtfsOrder)
{
    // Upper-cased ordinal order: '_' (0x5F) comes after the letters, '.'
    // before the digits; case does not matter.
    Make({"b.bmp", "_x.bmp", "A.bmp", "Z.bmp", "a1.bmp", "m\\", "m\\B.bmp", "m\\a.bmp", "M0\\", "M0\\k.bmp"});
    EXPECT_EQ(Collect(FALSE), Names({"A.bmp", "a1.bmp", "b.bmp", "m\\a.bmp", "m\\B.bmp", "M0\\k.bmp", "Z.bmp", "_x.bmp"}));
}

TEST_F(SelectionTest, HiddenAndSystemFilesCount)
{
    Make({"h.bmp", "s.bmp"});
    ASSERT_TRUE(SetFileAttributesA((dir / "h.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA((dir / "s.bmp").c_str(), FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(Collect(FALSE), Names({"h.bmp", "s.bmp"}));
}

TEST_F(SelectionTest, MissingEmptyAndSlashEndedFolders)
{
    Make({"a.bmp", "sub\\", "sub\\b.bmp"});
    EXPECT_TRUE(Collect(dir / "missing", TRUE).empty());
    EXPECT_TRUE(Collect("", TRUE).empty()) << "an empty folder text must not scan the drive";
    EXPECT_EQ(Collect(dir.Path() + "\\", FALSE), Names({"a.bmp", "sub\\b.bmp"}));
    // A relative folder text still lists full paths.
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    const Names relative = Collect("sub", FALSE);
    SetCurrentDirectoryA(current);
    EXPECT_EQ(relative, Names({"sub\\b.bmp"}));

    CStringArray list;
    list.Add("kept");
    CollectWallpapers(dir.Path().c_str(), &list, FALSE);
    ASSERT_EQ(list.GetSize(), 3) << "the scan appends";
    EXPECT_STREQ(list[0], "kept");
}

TEST_F(SelectionTest, LinkLoopsEndAndEveryFolderIsScannedOnce)
{
    Make({"a.bmp", "sub\\", "sub\\b.bmp", "other\\", "other\\c.bmp"});
    ASSERT_TRUE(MakeDirectoryLink(dir / "sub\\back", dir.Path())) << "no link";
    ASSERT_TRUE(MakeDirectoryLink(dir / "sub\\self", dir / "sub"));
    ASSERT_TRUE(MakeDirectoryLink(dir / "zz", dir / "other"));
    ASSERT_NE(GetFileAttributesA((dir / "sub\\back\\a.bmp").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the link does not lead back";

    EXPECT_EQ(Collect(FALSE), Names({"a.bmp", "other\\c.bmp", "sub\\b.bmp"}));
}

TEST_F(SelectionTest, ConvertToBmpIsReadOncePerScan)
{
    Make({"s1\\", "s2\\", "s1\\s3\\"});
    for (int i = 0; i < 30; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s\\p%02d.%s", i % 3 == 0 ? "s1" : i % 3 == 1 ? "s2" : "s1\\s3", i,
                      i % 2 ? "jpg" : "bmp");
        ASSERT_TRUE(WriteFileText(dir / name, "x"));
    }
    Set("ConvertToBmp", 1);
    {
        RegistryOpenCounter opens;
        ASSERT_TRUE(opens.Installed());
        EXPECT_EQ(Collect(FALSE).size(), 30u);
        EXPECT_EQ(opens.Count(), 1);
    }
    {
        RegistryOpenCounter opens;
        EXPECT_EQ(Collect(TRUE).size(), 30u);
        EXPECT_EQ(opens.Count(), 0) << "accept-all needs no setting";
    }
}

// ---------------------------------------------------------------- dispatch

TEST_F(SelectionTest, ChangeWallpaperFollowsSelection)
{
    fake.activeDesktop = TRUE;
    CStringArray list;
    Fill(&list, {"C:\\w\\only.htm"});
    DialogAnswerer answerer(IDCANCEL);

    // Absent and 0: the manual dialog, the list unused.
    EXPECT_TRUE(changer.ChangeWallpaper(&list));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Select active desktop wallpaper");
    EXPECT_FALSE(Logged("SetWallpaper"));

    Set("Selection", 1);
    fake.Clear();
    EXPECT_TRUE(changer.ChangeWallpaper(&list));
    EXPECT_TRUE(Logged("SetWallpaper(C:\\w\\only.htm)"));

    Set("Selection", 2);
    fake.Clear();
    EXPECT_TRUE(changer.ChangeWallpaper(&list));
    EXPECT_TRUE(Logged("SetWallpaper(C:\\w\\only.htm)"));

    Set("Selection", 3);
    fake.Clear();
    EXPECT_TRUE(changer.ChangeWallpaper(&list));
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(answerer.Seen().size(), 1u);
}

TEST_F(SelectionTest, AutoChangeWallpaperFollowsAutoChangeSelectionAndNeverAsks)
{
    fake.activeDesktop = TRUE;
    fake.writeRegistryOnApply = FALSE;
    CStringArray list;
    Fill(&list, {"C:\\w\\a.htm", "C:\\w\\b.htm"});
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\w\\a.htm");
    DialogAnswerer answerer(IDCANCEL);

    EXPECT_TRUE(changer.AutoChangeWallpaper(&list));  // absent: random
    EXPECT_TRUE(Logged("SetWallpaper(C:\\w\\"));

    Set("AutoChangeSelection", 1);
    fake.Clear();
    EXPECT_TRUE(changer.AutoChangeWallpaper(&list));
    EXPECT_TRUE(Logged("SetWallpaper(C:\\w\\b.htm)"));

    Set("AutoChangeSelection", 2);
    fake.Clear();
    EXPECT_TRUE(changer.AutoChangeWallpaper(&list));
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(answerer.Seen().empty());
}

// ---------------------------------------------------------------- random

TEST_F(SelectionTest, RandomWithOneEntryAlwaysTakesIt)
{
    fake.activeDesktop = TRUE;
    CStringArray list;
    Fill(&list, {"C:\\w\\one.jpg"});
    for (int i = 0; i < 20; ++i) {
        fake.Clear();
        changer.ChangeToRandomWallpaper(&list);
        EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetWallpaper(C:\\w\\one.jpg)",
                                "ApplyChanges(7)"}));
    }
}

TEST_F(SelectionTest, RandomReachesEveryPartOfALongList)
{
    // rand() alone gives 32 768 values; the last 7 232 of 40 000 entries
    // must come up about 18 % of the time.  Bounds seven standard
    // deviations wide.
    fake.activeDesktop = TRUE;
    fake.writeRegistryOnApply = FALSE;
    const int count = 40000;
    CStringArray list;
    for (int i = 0; i < count; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "C:\\w\\%05d.htm", i);
        list.Add(path);
    }
    const int draws = 2000;
    int high = 0;
    int highest = 0;
    for (int i = 0; i < draws; ++i) {
        fake.Clear();
        changer.ChangeToRandomWallpaper(&list);
        int index = -1;
        ASSERT_EQ(swscanf(fake.wallpaper.c_str(), L"C:\\w\\%d.htm", &index), 1);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, count);
        high += index > 32767;
        highest = std::max(highest, index);
    }
    EXPECT_GT(highest, 32767);
    EXPECT_GE(high, 240) << "entries above 32 767 drawn " << high << " times of " << draws;
    EXPECT_LE(high, 480) << "entries above 32 767 drawn " << high << " times of " << draws;
}

TEST_F(SelectionTest, RandomReportsAFailedChangeByDesktop)
{
    DialogAnswerer answerer;
    CStringArray list;
    Fill(&list, {"C:\\w\\a.bmp"});

    fake.activeDesktop = TRUE;
    fake.failAt = 2;  // the object's SetWallpaper
    changer.ChangeToRandomWallpaper(&list);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Tapestrix");
    EXPECT_EQ(answerer.Seen()[0].text, "Unable to change active desktop wallpaper");

    fake.activeDesktop = FALSE;
    fake.Clear();
    fake.failAt = 2;  // after two Active Desktop queries, SetWallpaper
    changer.ChangeToRandomWallpaper(&list);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].text, "Unable to set normal desktop wallpaper");
}

TEST_F(SelectionTest, RandomSkipsSilentlyWhatCannotBeConverted)
{
    DialogAnswerer answerer;
    CStringArray list;
    Fill(&list, {dir / "p.jpg"});
    ASSERT_TRUE(WriteJpeg(dir / "p.jpg", 8, 8, [](int, int) { return kRed; }));
    changer.ChangeToRandomWallpaper(&list);  // "ConvertToBmp" absent
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)"}));
    EXPECT_TRUE(answerer.Seen().empty());
}

// ---------------------------------------------------------------- sequential

TEST_F(SelectionTest, NextWithActiveDesktopOnFollowsWallpaperAndWraps)
{
    fake.activeDesktop = TRUE;
    fake.writeRegistryOnApply = FALSE;
    CStringArray list;
    Fill(&list, {"C:\\w\\a.htm", "C:\\w\\b.htm", "C:\\w\\c.htm"});
    const struct {
        const char* current;  // null: "Wallpaper" missing
        const char* next;
    } cases[] = {{"C:\\w\\a.htm", "C:\\w\\b.htm"}, {"c:\\W\\B.HTM", "C:\\w\\c.htm"}, {"C:\\w\\c.htm", "C:\\w\\a.htm"},
                 {"C:\\elsewhere.htm", "C:\\w\\a.htm"}, {"", "C:\\w\\a.htm"}, {nullptr, "C:\\w\\a.htm"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current ? c.current : "(missing)");
        if (c.current)
            SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", c.current);
        else
            DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
        fake.Clear();
        changer.ChangeToNextWallpaper(&list);
        EXPECT_EQ(fake.wallpaper, Wide(c.next));
    }
}

TEST_F(SelectionTest, NextWithActiveDesktopOffFollowsBackupWallpaper)
{
    CStringArray list;
    Fill(&list, {dir / "a.bmp", dir / "b.bmp"});
    Make({"a.bmp", "b.bmp"});
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", dir / "a.bmp");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\active.htm");
    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(dir / "b.bmp"));
    EXPECT_EQ(ShellWallpaper(), "C:\\active.htm");
    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(dir / "a.bmp")) << "wraps to the first";
}

TEST_F(SelectionTest, SequenceContinuesAfterThePictureTheBitmapCameFrom)
{
    // a.bmp -> b.jpg (converted) -> c.gif (converted) -> d.bmp -> a.bmp, with
    // the shell's records kept by the recording object as the shell would.
    const std::string target = dir / "out\\converted.bmp";
    ASSERT_TRUE(MakeDirs(dir / "out"));
    Set("ConvertToBmp", 1);
    Set("ConvertedBmpPath", target);
    Make({"a.bmp", "d.bmp"});
    ASSERT_TRUE(WriteJpeg(dir / "b.jpg", 16, 16, [](int, int) { return kBlue; }));
    ASSERT_TRUE(WriteGif(dir / "c.gif", 16, 16, [](int, int) { return kGreen; }));
    CStringArray list;
    Fill(&list, {dir / "a.bmp", dir / "b.jpg", dir / "c.gif", dir / "d.bmp"});
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", dir / "a.bmp");

    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)",
                            "SetWallpaper(" + target + ")", "ApplyChanges(1)", "GetWallpaper(260)", "SetWallpaper()",
                            "SetWallpaper(" + target + ")", "ApplyChanges(1)"}));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"), dir / "b.jpg");
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 4, 4), kBlue, 40));

    fake.Clear();
    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(target));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"), dir / "c.gif");
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 4, 4), kGreen, 40));

    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(dir / "d.bmp"));
    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(dir / "a.bmp"));

    // Without "BmpConvertedFrom" the bitmap itself is the position: not in
    // the list, so the sequence starts over.
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", target);
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom");
    fake.Clear();
    changer.ChangeToNextWallpaper(&list);
    EXPECT_EQ(fake.wallpaper, Wide(dir / "a.bmp"));
}

TEST_F(SelectionTest, NextEntryThatCannotBeConvertedIsPickedAgain)
{
    Set("ConvertToBmp", 1);
    Set("ConvertedBmpPath", dir / "converted.bmp");
    Make({"a.bmp", "b.jpg", "c.bmp"});  // b.jpg holds no picture
    CStringArray list;
    Fill(&list, {dir / "a.bmp", dir / "b.jpg", dir / "c.bmp"});
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", dir / "a.bmp");
    DialogAnswerer answerer;
    for (int i = 0; i < 3; ++i) {
        fake.Clear();
        changer.ChangeToNextWallpaper(&list);
        EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)"})) << "attempt " << i;
    }
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"));
    EXPECT_FALSE(FileExists(dir / "converted.bmp"));
}

TEST_F(SelectionTest, ChoosingFromAnEmptyListDoesNothing)
{
    CStringArray list;
    changer.ChangeToRandomWallpaper(&list);
    changer.ChangeToNextWallpaper(&list);
    changer.ChangeToRandomWallpaper(nullptr);
    EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace tpx::test
