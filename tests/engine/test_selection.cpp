// Choosing the next wallpaper: what the folder scan lists and in which order,
// and the random and sequential choice with real conversions.
#include <set>

#include "EngineTest.h"
#include "engine/WallpaperSelection.h"

namespace tpx::test {
namespace {

// With `g_noIndex` an opened folder tells no file index, as some file systems do.
bool g_noIndex;
decltype(&GetFileInformationByHandle) g_identify;

BOOL WINAPI Identify(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    const BOOL ok = g_identify(file, info);
    if (g_noIndex)
        info->nFileIndexHigh = info->nFileIndexLow = 0;
    return ok;
}

class Selection : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        static const bool faking =
            PatchImport("GetFileInformationByHandle", reinterpret_cast<void*>(Identify), &g_identify);
        ASSERT_TRUE(faking && ListingsRelisted());
    }
    void TearDown() override
    {
        g_relist = nullptr;
        g_noIndex = false;
        EngineTest::TearDown();
    }
    // CollectWallpapers on `folder`, with the paths relative to the test folder.
    Calls Collect(const std::string& folder, BOOL acceptAll) const
    {
        CStringArray found;
        CollectWallpapers(folder.c_str(), &found, acceptAll);
        Calls names;
        for (int i = 0; i < found.GetSize(); ++i)
            names.push_back(static_cast<LPCSTR>(found[i]) + dir.Path().size() + 1);
        return names;
    }
    // Makes the files (and their folders) and lists their full paths.
    void Make(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            const std::string path = dir / name;
            MakeDirs(path.substr(0, path.rfind('\\')));
            EXPECT_TRUE(WriteFileText(path, name));
            list.Add(path.c_str());
        }
    }
    // The file the last change applied: on the Active Desktop its record,
    // else the normal desktop's, or only pending where the apply is refused.
    std::string Picked() const
    {
        WCHAR pending[MAX_PATH] = L"";
        CString text;
        shell.real->GetWallpaper(pending, MAX_PATH, 0);
        WideToAnsi(pending, -1, &text);
        const std::string path = !shell.refuse.empty() ? std::string(text)
                                 : Items().fActiveDesktop ? Shell("Wallpaper").value_or("")
                                                          : Shell("BackupWallpaper").value_or("");
        return path.substr(path.rfind('\\') + 1);
    }
    std::string Next()
    {
        changer.ChangeToNextWallpaper(&list);
        return Picked();
    }
    CStringArray list;
};

TEST_F(Selection, FolderExampleForEachSetting)
{
    Make({"a.bmp", "b.JPG", "s\\c.gif", "d.bmp", "x.jpeg", "notes.txt", "_u.bmp"});
    // In the order NTFS keeps names: upper-cased, so "_" follows the letters.  No "ConvertToBmp" means off.
    EXPECT_EQ(Collect(dir.Path(), FALSE), Calls({"a.bmp", "d.bmp", "_u.bmp"}));
    registry.Set("ConvertToBmp", 1);
    EXPECT_EQ(Collect(dir.Path(), FALSE), Calls({"a.bmp", "b.JPG", "d.bmp", "s\\c.gif", "_u.bmp"}));
    EXPECT_EQ(Collect(dir.Path() + "\\", TRUE),
              Calls({"a.bmp", "b.JPG", "d.bmp", "notes.txt", "s\\c.gif", "x.jpeg", "_u.bmp"}));
    EXPECT_TRUE(Collect(dir / "missing", TRUE).empty());
    CollectWallpapers("", &list, TRUE);
    EXPECT_EQ(list.GetSize(), 7) << "an empty folder text scanned the drive";
}

// Each folder is scanned once however its file system tells (or does not
// tell) folders apart, and an entry listed without a name, which would stand
// for the folder itself, is no entry.  (Names in every script: test_names.cpp.)
TEST_F(Selection, FoldersWithoutAFileIndexAreEachScannedAndNamelessEntriesSkipped)
{
    Make({"a\\1.bmp", "b\\2.bmp", "c\\d\\3.bmp", "e.bmp", "nameless\\4.bmp", "nameless.bmp"});
    // 0 in the listing, the opened folder asked; -1, and nor does the opened folder tell.
    for (const LONGLONG reported : {0LL, -1LL}) {
        g_relist = [&](FILE_ID_BOTH_DIR_INFO& entry) {
            entry.FileId.QuadPart = reported;
            if (std::wstring(entry.FileName, entry.FileNameLength / sizeof(WCHAR)).rfind(L"nameless", 0) == 0)
                entry.FileNameLength = entry.ShortNameLength = 0;
        };
        g_noIndex = reported == -1;
        EXPECT_EQ(Collect(dir.Path(), FALSE), Calls({"a\\1.bmp", "b\\2.bmp", "c\\d\\3.bmp", "e.bmp"})) << reported;
    }
}

TEST_F(Selection, EachSelectionSettingValueMakesItsChoiceAndNextFollowsTheWallpaperAndWraps)
{
    SetActive(TRUE);
    shell.refuse = "ApplyChanges";  // the choice stays pending: quick, and nothing to put back
    Make({"a.htm", "b.htm", "c.htm"});
    const struct {
        const char* name;
        DWORD value;
        std::string picks;  // "random": not always the same one
    } cases[] = {{"Selection", 1, "random"},         {"Selection", 2, "b.htm"},          {"Selection", 3, ""},
                 {"AutoChangeSelection", 0, "random"}, {"AutoChangeSelection", 1, "b.htm"}, {"AutoChangeSelection", 2, ""}};
    SetShell("Wallpaper", dir / "a.htm");
    for (const auto& c : cases) {
        registry.Set(c.name, c.value);
        std::set<std::string> picks;
        for (int i = 0; i < 30; ++i) {  // three entries: 30 equal random picks are a chance in 3^29
            shell.real->SetWallpaper(L"", 0);
            c.name[0] == 'S' ? changer.ChangeWallpaper(&list) : changer.AutoChangeWallpaper(&list);
            picks.insert(Picked());
        }
        EXPECT_EQ(picks.size() > 1 ? "random" : *picks.begin(), c.picks) << c.name << " " << c.value;
    }
    const std::pair<std::string, const char*> nexts[] = {  // "-": no "Wallpaper"
        {dir / "B.HTM", "c.htm"}, {dir / "c.htm", "a.htm"}, {"-", "a.htm"}};
    for (const auto& [current, next] : nexts) {
        SetShell("Wallpaper", current);
        if (current == "-")
            DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
        EXPECT_EQ(Next(), next) << current;
    }
}

TEST_F(Selection, SequenceContinuesAfterThePictureTheBitmapCameFrom)
{
    DialogAnswerer answerer;
    registry.Set("ConvertToBmp", 1);
    registry.Set("ConvertedBmpPath", dir / "converted.bmp");
    Make({"a.bmp", "b.jpg", "c.gif", "d.bmp"});
    ASSERT_TRUE(WritePicture(dir / "b.jpg", 16, 16) && WritePicture(dir / "c.gif", 24, 24));
    SetShell("BackupWallpaper", dir / "a.bmp");

    // b.jpg, then c.gif: only its record says where the shown bitmap came from.
    EXPECT_EQ(Next(), "converted.bmp");
    EXPECT_EQ(Next(), "converted.bmp");
    EXPECT_EQ(Next(), "d.bmp");
    EXPECT_EQ(Next(), "a.bmp");

    // A next entry that cannot be converted is silently tried again next time.
    ASSERT_TRUE(WriteFileText(dir / "b.jpg", "no picture"));
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(Next(), "a.bmp");
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(Selection, RandomTakesTheOnlyEntryAndReachesEveryPartOfALongList)
{
    DialogAnswerer answerer;
    Make({"one.bmp"});
    SetShell("BackupWallpaper", "before");
    changer.ChangeToRandomWallpaper(&list);
    EXPECT_EQ(Picked(), "one.bmp");
    shell.Renew(2);  // SetWallpaper, after two Active Desktop queries
    EXPECT_EQ(changer.ChangeToRandomWallpaper(&list), CHANGE_NORMAL_FAILED);
    shell.Renew();
    EXPECT_TRUE(answerer.Seen().empty()) << "the engine tells its caller, never the user";
    // rand() alone gives 32 768 values; the last 7 232 of 40 000 entries must
    // come up about 18 % of the time (bounds seven standard deviations wide).
    SetActive(TRUE);
    shell.refuse = "ApplyChanges";
    list.RemoveAll();
    for (int i = 0; i < 40000; ++i)
        list.Add(std::to_string(i).c_str());
    int high = 0;
    for (int i = 0; i < 2000; ++i) {
        changer.ChangeToRandomWallpaper(&list);
        high += std::stoi(Picked()) > 32767;
    }
    EXPECT_TRUE(high >= 240 && high <= 480) << high << " of 2000 above 32 767";
}

}  // namespace
}  // namespace tpx::test
