// The resources inside Tapestrix.exe: the tray menu as the program expects
// it, the icons and bitmaps in their sizes and colour depths, the change
// sound's format, the version and the manifest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "res/resource.h"

using namespace tpx::test;

namespace {

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string exe = ExeDir() + "\\Tapestrix.exe";
        m_module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, m_module) << exe;
    }
    void TearDown() override
    {
        if (m_module)
            FreeLibrary(m_module);
    }

    std::vector<uint8_t> Raw(LPCSTR type, UINT id) const
    {
        HRSRC info = FindResourceA(m_module, MAKEINTRESOURCEA(id), type);
        if (!info)
            return {};
        HGLOBAL data = LoadResource(m_module, info);
        const auto* bytes = static_cast<const uint8_t*>(LockResource(data));
        return std::vector<uint8_t>(bytes, bytes + SizeofResource(m_module, info));
    }

    HMODULE m_module = nullptr;
};

struct MenuEntry {
    std::string text;
    UINT id;          // 0 for separators and submenus
    bool separator;
    bool submenu;
};

std::vector<MenuEntry> Entries(HMENU menu)
{
    std::vector<MenuEntry> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_STATE;
        mii.dwTypeData = text;
        mii.cch = sizeof(text);
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mii);
        if (!(mii.fType & MFT_SEPARATOR)) {
            EXPECT_EQ(0u, mii.fState & (MFS_CHECKED | MFS_GRAYED)) << text;
        }
        out.push_back({text, mii.hSubMenu ? 0u : mii.wID, (mii.fType & MFT_SEPARATOR) != 0,
                       mii.hSubMenu != nullptr});
    }
    return out;
}

// The bit depth and size of each image of an icon group.
struct IconImage {
    int width;
    int height;
    int bitCount;
    int colours;
};

}  // namespace

TEST_F(ProgramResources, TrayMenuLayout)
{
    HMENU menu = LoadMenuA(m_module, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(nullptr, menu);
    const std::vector<MenuEntry> top = Entries(menu);
    ASSERT_EQ(11u, top.size());
    const char* texts[] = {"Tapestrix", "", "New Wallpaper", "Wallpaper Folder", "", "Display Styles",
                           "Selection Options", "", "Help Topics", "", "Exit"};
    const UINT ids[] = {32771, 0, 32781, 32782, 0, 0, 0, 0, 32787, 0, 32772};
    for (size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(texts[i], top[i].text) << i;
        EXPECT_EQ(ids[i], top[i].id) << i;
        EXPECT_EQ(i == 1 || i == 4 || i == 7 || i == 9, top[i].separator) << i;
        EXPECT_EQ(i == 5 || i == 6, top[i].submenu) << i;
    }
    const std::vector<MenuEntry> styles = Entries(GetSubMenu(menu, 5));
    ASSERT_EQ(3u, styles.size());
    EXPECT_EQ("Tile Wallpaper", styles[0].text);
    EXPECT_EQ(32774u, styles[0].id);
    EXPECT_EQ("Center Wallpaper", styles[1].text);
    EXPECT_EQ(32775u, styles[1].id);
    EXPECT_EQ("Stretch Wallpaper", styles[2].text);
    EXPECT_EQ(32776u, styles[2].id);
    const std::vector<MenuEntry> selection = Entries(GetSubMenu(menu, 6));
    ASSERT_EQ(3u, selection.size());
    EXPECT_EQ("Manual", selection[0].text);
    EXPECT_EQ(32777u, selection[0].id);
    EXPECT_EQ("Random", selection[1].text);
    EXPECT_EQ(32778u, selection[1].id);
    EXPECT_EQ("Sequential", selection[2].text);
    EXPECT_EQ(32779u, selection[2].id);
    DestroyMenu(menu);
}

TEST_F(ProgramResources, IconsInTheirSizesAndSixteenColours)
{
    const struct {
        UINT id;
        std::vector<int> sizes;
    } icons[] = {{IDR_MAINFRAME, {32, 16}}, {IDI_DESKTOP_INFORMATION, {32}}, {IDI_OPTIONS, {32}},
                 {IDI_WALLPAPER_BROWSER, {32}}, {IDI_ABOUT, {32}}};
    for (const auto& icon : icons) {
        const std::vector<uint8_t> group = Raw(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, icon.id);
        ASSERT_GE(group.size(), 6u) << icon.id;
        const int count = group[4] | (group[5] << 8);
        ASSERT_EQ(static_cast<int>(icon.sizes.size()), count) << icon.id;
        for (int i = 0; i < count; ++i) {
            const uint8_t* entry = &group[6 + 14 * static_cast<size_t>(i)];
            EXPECT_EQ(icon.sizes[static_cast<size_t>(i)], entry[0]) << icon.id;
            EXPECT_EQ(icon.sizes[static_cast<size_t>(i)], entry[1]) << icon.id;
            EXPECT_EQ(16, entry[2]) << icon.id;                    // colours
            EXPECT_EQ(4, entry[6] | (entry[7] << 8)) << icon.id;   // bits per pixel
        }
        HICON loaded = static_cast<HICON>(LoadImageA(m_module, MAKEINTRESOURCEA(icon.id), IMAGE_ICON,
                                                     icon.sizes[0], icon.sizes[0], 0));
        EXPECT_NE(nullptr, loaded) << icon.id;
        DestroyIcon(loaded);
    }
}

TEST_F(ProgramResources, MenuBitmapsAreSixteenBySixteenInSixteenColours)
{
    for (UINT id : {137u, 138u, 139u, 140u, 146u, 148u, 152u}) {
        const std::vector<uint8_t> raw = Raw(MAKEINTRESOURCEA(2) /* RT_BITMAP */, id);
        ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER)) << id;
        BITMAPINFOHEADER header;
        memcpy(&header, raw.data(), sizeof(header));
        EXPECT_EQ(16, header.biWidth) << id;
        EXPECT_EQ(16, header.biHeight) << id;
        EXPECT_EQ(4, header.biBitCount) << id;
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(m_module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        EXPECT_NE(nullptr, bitmap) << id;
        DeleteObject(bitmap);
    }
}

TEST_F(ProgramResources, ChangeSoundIsShortEightBitMonoPcm)
{
    const std::vector<uint8_t> wave = Raw("WAVE", IDR_CHANGE_SOUND);
    ASSERT_EQ(1816u, wave.size());
    ASSERT_EQ(0, memcmp(wave.data(), "RIFF", 4));
    ASSERT_EQ(0, memcmp(wave.data() + 8, "WAVEfmt ", 8));
    auto u16 = [&](size_t at) { return wave[at] | (wave[at + 1] << 8); };
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | (u16(at + 2) << 16)); };
    EXPECT_EQ(wave.size() - 8, u32(4));
    EXPECT_EQ(1, u16(20));          // PCM
    EXPECT_EQ(1, u16(22));          // mono
    EXPECT_EQ(22050u, u32(24));
    EXPECT_EQ(8, u16(34));          // bits per sample
    ASSERT_EQ(0, memcmp(wave.data() + 36, "data", 4));
    const uint32_t samples = u32(40);
    EXPECT_EQ(wave.size() - 44, samples);
    EXPECT_NEAR(80.0, samples * 1000.0 / 22050.0, 2.0);
    // A real sound, not silence.
    int loud = 0;
    for (size_t i = 44; i < wave.size(); ++i)
        loud += std::abs(static_cast<int>(wave[i]) - 128) > 20;
    EXPECT_GT(loud, 100);
    // PlaySound accepts it straight from the resources.
    EXPECT_TRUE(PlaySoundA(MAKEINTRESOURCEA(IDR_CHANGE_SOUND), m_module,
                           SND_RESOURCE | SND_SYNC | SND_NODEFAULT) ||
                waveOutGetNumDevs() == 0);
}

TEST_F(ProgramResources, VersionAndCommonControlsManifest)
{
    const std::vector<uint8_t> manifest = Raw(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1);
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(std::string::npos, text.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, text.find("version=\"6.0.0.0\""));

    const std::string exe = ExeDir() + "\\Tapestrix.exe";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(3u, HIWORD(fixed->dwFileVersionMS));
    char* product = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ("Tapestrix", product);
}
