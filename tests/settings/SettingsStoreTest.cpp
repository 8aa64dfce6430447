// The registry settings store against Wine's real registry: what the five
// functions read and write, what they leave alone, and how they take values
// of the wrong type or size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/Settings.h"

using namespace tpx::test;

TEST(SettingsStoreMissingKey, ReadersKeepDefaultsAndWritersCreateNothing)
{
    AppRegistryScope scope(/*createAppKey=*/false);
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));

    DWORD number = 30;
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, &number));
    EXPECT_EQ(30u, number);
    CString text("3.0");
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_VERSION, &text));
    EXPECT_STREQ("3.0", text);

    EXPECT_FALSE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_SELECTION, 2));
    EXPECT_FALSE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\x"));
    EXPECT_FALSE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\x", 4));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
}

// The program's key exists but starts empty; restored afterwards.
class SettingsStore : public ::testing::Test {
protected:
    static BOOL ReadDword(const char* name, DWORD* value)
    {
        return ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, name, value);
    }
    static BOOL ReadString(const char* name, CString* value)
    {
        return ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, name, value);
    }
    static void SetRaw(const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kAppKey, name, type, bytes.data(),
                                 static_cast<DWORD>(bytes.size())));
    }
    AppRegistryScope m_scope;
};

TEST_F(SettingsStore, DwordKeepsAllThirtyTwoBitsAndAMissingValueKeepsTheDefault)
{
    for (DWORD stored : {DWORD{0}, DWORD{300}, DWORD{0xFFFFFFFF}}) {
        ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, stored));
        EXPECT_EQ(REG_DWORD, GetRegType(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer").value_or(0));
        DWORD read = 12345;
        ASSERT_TRUE(ReadDword(TPX_VAL_AUTO_CHANGE_TIMER, &read));
        EXPECT_EQ(stored, read);
    }
    DWORD missing = 3;
    EXPECT_FALSE(ReadDword(TPX_VAL_HIDE_ITEM_TIMER, &missing));
    EXPECT_EQ(3u, missing);
}

TEST_F(SettingsStore, ValuesOfTheWrongTypeOrSizeKeepTheDefault)
{
    const struct {
        const char* name;
        DWORD type;
        std::string bytes;
    } numbers[] = {{"Text", REG_SZ, std::string("1\0\0", 4)},
                   {"Binary", REG_BINARY, std::string("\x05\x01\x00\x00", 4)},
                   {"Short", REG_DWORD, "\x05"},
                   {"Empty", REG_DWORD, ""},
                   {"List", REG_MULTI_SZ, std::string("1\0\0", 4)},
                   {"Wide", REG_QWORD, std::string(8, '\x01')}};
    for (const auto& n : numbers) {
        SetRaw(n.name, n.type, n.bytes);
        DWORD value = 30;
        EXPECT_FALSE(ReadDword(n.name, &value)) << n.name;
        EXPECT_EQ(30u, value) << n.name;
    }
    const struct {
        const char* name;
        DWORD type;
        std::string bytes;
    } texts[] = {{"Number", REG_DWORD, std::string("ABC\0", 4)},
                 {"Binary", REG_BINARY, "C:\\x"},
                 {"List", REG_MULTI_SZ, std::string("C:\\x\0\0", 6)},
                 {"Empty", REG_SZ, ""}};
    for (const auto& t : texts) {
        SetRaw(t.name, t.type, t.bytes);
        CString text("default");
        EXPECT_FALSE(ReadString(t.name, &text)) << t.name;
        EXPECT_STREQ("default", text) << t.name;
    }
    SetRaw("Expand", REG_EXPAND_SZ, std::string("%TEMP%\\x", 10));
    CString text;
    ASSERT_TRUE(ReadString("Expand", &text));
    EXPECT_STREQ("%TEMP%\\x", text);
}

TEST_F(SettingsStore, StringsUpToTwoHundredSixtyBytesReadWholeAndTerminated)
{
    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, "C:\\Wallpapers"));
    EXPECT_EQ("C:\\Wallpapers", GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder").value_or("?"));
    CString read;
    ASSERT_TRUE(ReadString(TPX_VAL_WALLPAPER_FOLDER, &read));
    EXPECT_STREQ("C:\\Wallpapers", read);

    // 259 characters and the NUL fit; one more counts as missing.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAppKey, "Fits", std::string(259, 'w')));
    ASSERT_TRUE(ReadString("Fits", &read));
    EXPECT_EQ(std::string(259, 'w'), std::string(read));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kAppKey, "TooLong", std::string(260, 'w')));
    read = "default";
    EXPECT_FALSE(ReadString("TooLong", &read));
    EXPECT_STREQ("default", read);

    // Text without any NUL still ends where the data ends.
    SetRaw("Bytes", REG_SZ, std::string(259, 'b'));
    ASSERT_TRUE(ReadString("Bytes", &read));
    EXPECT_EQ(std::string(259, 'b'), std::string(read));
    SetRaw("NoNul", REG_SZ, "abc");
    ASSERT_TRUE(ReadString("NoNul", &read));
    EXPECT_STREQ("abc", read);
}

TEST_F(SettingsStore, TextWriterStoresExactlyTheGivenLengthAndStopsAtTheNul)
{
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "A", "D:\\Pictures\\Holidays\\more", 20));
    EXPECT_EQ("D:\\Pictures\\Holidays", GetRegString(HKEY_CURRENT_USER, kAppKey, "A").value_or("?"));
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, TPX_KEY_APP, "B", "E:\\x", 200));
    EXPECT_EQ("E:\\x", GetRegString(HKEY_CURRENT_USER, kAppKey, "B").value_or("?"));
}
