// File names in any script, through everything that handles a path: the
// folder scan and the sequential choice, the conversion, the shell's
// wallpaper values (read back in UTF-16, as the shell keeps them), the
// preview; and the scan under a code page that cannot hold them.  This
// program carries the UTF-8 code page of Tapestrix.exe in its manifest.
#include <algorithm>
#include <cwchar>

#include "EngineTest.h"
#include "engine/Picture.h"
#include "engine/WallpaperSelection.h"
#include "framework/File.h"
#include "framework/FolderDialog.h"
#include "settings/Settings.h"

namespace tpx::test {
namespace {

// This program's code page is UTF-8: the framework converts both ways.
std::string Utf8(const std::wstring& text)
{
    CString narrow;
    WideToAnsi(text.c_str(), -1, &narrow, CP_UTF8);
    return std::string(narrow);
}
std::wstring Wide(const std::string& text) { return AnsiToWide(text.c_str()); }

std::vector<std::string> Sorted(const CStringArray& list)
{
    std::vector<std::string> paths;
    for (int i = 0; i < list.GetSize(); ++i)
        paths.push_back(static_cast<LPCSTR>(list[i]));
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A string value as the registry keeps it, or "-" when there is none.
std::wstring RegW(const char* subKey, const wchar_t* name)
{
    WCHAR value[4 * MAX_PATH] = L"-";
    DWORD size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, Wide(subKey).c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}


// The code page the program's text functions believe in; 0: the real one.
UINT g_codePage;
decltype(&GetACP) g_acp;

UINT WINAPI CodePage()
{
    return g_codePage ? g_codePage : g_acp();
}

class Names : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool patched = PatchImport("GetACP", reinterpret_cast<void*>(CodePage), &g_acp);
        ASSERT_TRUE(patched && ListingsRelisted());
        ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "the manifest's code page is not in force";
        ASSERT_TRUE(WritePicture(dir / "seed.jpg", 64, 48));
    }
    void TearDown() override { g_relist = nullptr, g_codePage = 0; }

    // Copies of the seed picture under `names` (".jpg" added; a name may
    // hold sub-folders) in `folder`.
    void Make(const std::wstring& folder, const std::vector<std::wstring>& names)
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const std::wstring& name : names) {
            const std::wstring path = folder + L"\\" + name + L".jpg";
            for (size_t at = folder.size() + 1; (at = path.find(L'\\', at)) != std::wstring::npos; ++at)
                CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
            ASSERT_TRUE(CopyFileW(Wide(dir / "seed.jpg").c_str(), path.c_str(), FALSE)) << Utf8(name);
        }
    }

    AppRegistryScope registry;
    TempDir dir;
};

TEST_F(Names, EveryScriptThroughScanChoiceConversionShellAndPreview)
{
    const std::wstring folder = Wide(dir.Path()) + L"\\Bilder \x03A9\x03BC\x03AD\x03B3\x03B1 \x6771\x4EAC";
    std::vector<std::wstring> names = {
        // Two bytes a character are the folder's Greek; three, four (surrogate pairs) and combining marks here.
        L"\x6771\x4EAC\x306E\x591C",
        L"\xD83C\xDF05 sunrise \xD83D\xDE00",
        L"e\x0301\x0323 a\x0308",
        // 200 CJK characters, 600 bytes (in three parts: Linux keeps at most
        // 255 bytes a name).
        std::wstring(70, L'\x5C71') + L"\\" + std::wstring(70, L'\x5DDD') + L"\\" + std::wstring(60, L'\x6D77'),
    };
    // A path of MAX_PATH characters with its NUL: over 500 bytes in UTF-8.
    const std::wstring cyrillic(120, L'\x0436');
    names.push_back(cyrillic + L"\\" + std::wstring(MAX_PATH - 1 - folder.size() - 1 - 121 - 4, L'\x0436'));
    Make(folder, names);

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder", Utf8(folder)));
    CString stored;
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder", &stored));

    registry.Set("ConvertToBmp", 1);
    CStringArray list;
    CollectWallpapers(stored, &list, FALSE);
    CStringArray expected;
    for (const std::wstring& name : names)
        expected.Add(Utf8(folder + L"\\" + name + L".jpg").c_str());
    ASSERT_EQ(Sorted(list), Sorted(expected));

    // The sequence goes through the list, each converted into a bitmap in a
    // folder with such a name too (over MAX_PATH bytes, not characters): the
    // next one is found only through the records of the shown bitmap.
    const std::wstring converted =
        folder + L"\\\x0421\x0432\x043E\x0434\x043A\x0430 \xD83C\xDF05 " + std::wstring(100, L'\x0436') + L"\\c.bmp";
    CreateDirectoryW(converted.substr(0, converted.rfind(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAppKey, "ConvertedBmpPath", Utf8(converted)));
    CWallpaperChanger changer;
    ASSERT_TRUE(changer.Initialize()) << "tpxactivedesktop.dll is not registered in the prefix";
    ASSERT_TRUE(changer.EnableActiveDesktop(FALSE) && changer.SetDisplayStyle(DISPLAY_STYLE_CENTER));
    for (int i = 0; i < list.GetSize(); ++i) {
        const std::wstring path = Wide(static_cast<LPCSTR>(list[i]));
        changer.ChangeToNextWallpaper(&list);
        EXPECT_EQ(RegW(kAppKey, L"BmpConvertedFrom"), path) << i;
        EXPECT_EQ(ReadBmpInfo(Utf8(converted)).width, 64) << i;

        CPicture preview;
        EXPECT_TRUE(preview.Load(list[i]) && preview.m_nWidth == 64 && preview.m_nHeight == 48) << i;
    }
    // The Active Desktop takes the picture itself, the one of MAX_PATH characters too.
    const std::wstring longest = folder + L"\\" + names.back() + L".jpg";
    ASSERT_TRUE(changer.EnableActiveDesktop(TRUE));
    EXPECT_TRUE(changer.SetActiveDesktopWallpaper(Utf8(longest).c_str()));
    EXPECT_EQ(RegW(kGeneralKey, L"Wallpaper"), longest);
    changer.EnableActiveDesktop(FALSE);
}

TEST_F(Names, FolderChoicesAndFileMessagesKeepEveryCharacter)
{
    // Over MAX_PATH bytes in UTF-8, in names of at most 255 bytes.
    const std::wstring parent = Wide(dir.Path()) + L"\\" + std::wstring(80, L'\x6771');
    const std::wstring folder = parent + L"\\" + std::wstring(80, L'\x4EAC');
    ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr) && CreateDirectoryW(folder.c_str(), nullptr));
    LPITEMIDLIST item = nullptr;
    ASSERT_EQ(SHParseDisplayName(folder.c_str(), nullptr, &item, 0, nullptr), S_OK);
    CString path;
    EXPECT_TRUE(GetPathFromItemList(item, &path));
    CoTaskMemFree(item);
    EXPECT_EQ(std::string(path), Utf8(folder));

    // A message about a file, cut to its buffer, ends between two characters.
    CFile file;
    CFileException error;
    ASSERT_FALSE(file.Open(Utf8(folder + L"\\x.jpg").c_str(), CFile::modeRead, &error));
    for (const UINT size : {60u, 61u, 62u, 2000u}) {
        char text[2000];
        error.GetErrorMessage(text, size);
        EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0), 0) << size;
        EXPECT_EQ(size == 2000u, std::string(text).find(Utf8(folder)) != std::string::npos) << size;
    }
}

TEST_F(Names, UnderAnotherCodePageShortNamesOrNothingButNeverAQuestionMark)
{
    const std::wstring folder = Wide(dir / "w");
    // The fullwidth letters have a look-alike in the code page, which names another file.
    Make(folder, {L"caf\x00E9", L"\xFF46\xFF55\xFF4C\xFF4C", L"\x6771\x4EAC"});
    g_codePage = 1252;
    g_relist = [](FILE_ID_BOTH_DIR_INFO& entry) {  // a file system keeping no short name for this one
        if (std::wstring(entry.FileName, entry.FileNameLength / sizeof(WCHAR)).find(L'\x6771') != std::wstring::npos)
            entry.ShortNameLength = 0;
    };
    CStringArray list;
    registry.Set("ConvertToBmp", 1);
    CollectWallpapers(Utf8(folder).c_str(), &list, FALSE);
    g_codePage = 0;

    // The folder as given, the file by its short name.
    WCHAR shortPath[MAX_PATH] = L"";
    ASSERT_TRUE(GetShortPathNameW((folder + L"\\\xFF46\xFF55\xFF4C\xFF4C.jpg").c_str(), shortPath, MAX_PATH));
    std::vector<std::string> expected = {dir / "w\\caf\xE9.jpg", dir / ("w" + Utf8(std::wcsrchr(shortPath, L'\\')))};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Sorted(list), expected);
}

}  // namespace
}  // namespace tpx::test
