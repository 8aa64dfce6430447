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
    EXPECT_FALSE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_SELECTION, 2));
    EXPECT_FALSE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\x"));
    EXPECT_FALSE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\x", 4));
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

TEST_F(SettingsStore, DwordsAreRawBytesOfUpToFourWhateverTheType)
{
    for (DWORD stored : {DWORD{0}, DWORD{300}, DWORD{0xFFFFFFFF}}) {
        ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, stored));
        EXPECT_EQ(REG_DWORD, GetRegType(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer").value_or(0));
        DWORD read = 12345;
        ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, &read));
        EXPECT_EQ(stored, read);
    }
    const struct {
        DWORD type;
        std::string bytes;  // empty: not stored
        BOOL read;
        DWORD value;        // what the reader leaves in 0xAAAAAAAA
    } cases[] = {{REG_SZ, std::string("abc", 4), TRUE, 0x00636261},   // four bytes, NUL included
                 {REG_BINARY, "\x05\x01", TRUE, 0x0105},               // fewer: none of the default stays
                 {REG_SZ, std::string("abcdefgh", 9), FALSE, 0xAAAAAAAA},  // more: does not fit
                 {REG_DWORD, "", FALSE, 0xAAAAAAAA}};
    for (const auto& c : cases) {
        DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "V");
        if (!c.bytes.empty())
            SetRaw("V", c.type, c.bytes);
        DWORD value = 0xAAAAAAAA;
        EXPECT_EQ(c.read, ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, "V", &value)) << c.bytes.size();
        EXPECT_EQ(c.value, value) << c.bytes.size();
    }
}

TEST_F(SettingsStore, StringsUpToTwoHundredSixtyBytesReadWholeAndTerminated)
{
    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\Wallpapers"));
    EXPECT_EQ("C:\\Wallpapers", GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder").value_or("?"));
    // The text writer stores exactly the length given, and stops at the NUL.
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "A", "D:\\Pictures\\Holidays\\more", 20));
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "B", "E:\\x", 200));
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kAppKey, "Dword", 0x00434241));
    SetRaw("Fits", REG_SZ, std::string(259, 'w') + '\0');
    SetRaw("TooLong", REG_SZ, std::string(260, 'w') + '\0');  // one more than fits counts as missing
    SetRaw("Bytes", REG_BINARY, std::string(260, 'b'));       // no NUL: ends where the data ends
    SetRaw("NoNul", REG_SZ, "abc");
    const struct {
        const char* name;
        BOOL read;
        std::string text;
    } cases[] = {{"WallpaperFolder", TRUE, "C:\\Wallpapers"}, {"A", TRUE, "D:\\Pictures\\Holidays"},
                 {"B", TRUE, "E:\\x"}, {"Dword", TRUE, "ABC"}, {"Fits", TRUE, std::string(259, 'w')},
                 {"TooLong", FALSE, "default"}, {"Bytes", TRUE, std::string(260, 'b')}, {"NoNul", TRUE, "abc"}};
    for (const auto& c : cases) {
        CString read("default");
        EXPECT_EQ(c.read, ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, c.name, &read)) << c.name;
        EXPECT_EQ(c.text, std::string(read)) << c.name;
    }
}
