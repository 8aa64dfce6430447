// The registry settings store against Wine's real registry: what the five
// functions read and write, what they leave alone, and how they take values
// of the wrong type or size.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "settings/Settings.h"

using namespace tpx::test;

TEST(SettingsStoreMissingKey, ReadersKeepDefaultsAndWritersCreateNothing)
{
    AppRegistryScope scope(/*createAppKey=*/false);
    DWORD number = 30;
    CString text("3.0");
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, &number));
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_VERSION, &text));
    EXPECT_TRUE(number == 30 && text == "3.0");
    // The writers share their opening of the key.
    EXPECT_FALSE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_SELECTION, 2));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
}

// The program's key exists but starts empty; restored afterwards.
class SettingsStore : public ::testing::Test {
protected:
    static void SetRaw(const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kAppKey, name, type, bytes.data(), DWORD(bytes.size())));
    }
    AppRegistryScope m_scope;
};

TEST_F(SettingsStore, NumbersAreWholeDwordsTextsAreWholeStringsAndAnythingElseKeepsTheDefault)
{
    ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, 0xFFFFFFFF));
    DWORD number = 12345;
    ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, &number));
    EXPECT_EQ(0xFFFFFFFFu, number);
    // "30" stored as text is no 12339 seconds; a number's first byte is no number.
    const struct {
        DWORD type;
        std::string bytes;
    } wrong[] = {{REG_SZ, std::string("30\0\0", 4)}, {REG_DWORD, "\x05"}};
    for (const auto& w : wrong) {
        SetRaw("V", w.type, w.bytes);
        DWORD value = 30;
        EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, "V", &value)) << w.type << " " << w.bytes.size();
        EXPECT_EQ(30u, value) << w.type << " " << w.bytes.size();
    }

    // Texts up to 259 characters, read whole and terminated.
    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\Wallpapers"));
    // The text writer stores exactly the length given, and stops at the NUL.
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "A", "D:\\Pictures\\Holidays\\more", 20));
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "B", "E:\\x", 200));
    SetRaw("Fits", REG_SZ, std::string(259, 'w') + '\0');
    SetRaw("TooLong", REG_SZ, std::string(260, 'w') + '\0');  // one more than fits counts as missing
    SetRaw("NoNul", REG_SZ, "abc");                           // ends where the data ends
    SetRaw("Expand", REG_EXPAND_SZ, std::string("%TEMP%\\x", 9));
    SetRaw("List", REG_MULTI_SZ, std::string("C:\\x\0\0", 6));
    SetRaw("Empty", REG_SZ, "");
    const struct {
        const char* name;
        BOOL read;
        std::string text;
    } cases[] = {{"WallpaperFolder", TRUE, "C:\\Wallpapers"}, {"A", TRUE, "D:\\Pictures\\Holidays"},
                 {"B", TRUE, "E:\\x"}, {"Fits", TRUE, std::string(259, 'w')}, {"TooLong", FALSE, "default"},
                 {"NoNul", TRUE, "abc"}, {"Expand", TRUE, "%TEMP%\\x"}, {"List", FALSE, "default"},
                 {"Empty", FALSE, "default"}};
    for (const auto& c : cases) {
        CString read("default");
        EXPECT_EQ(c.read, ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, c.name, &read)) << c.name;
        EXPECT_EQ(c.text, std::string(read)) << c.name;
    }
}
