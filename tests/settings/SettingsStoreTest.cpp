// The registry settings store against Wine's real registry: what the five
// functions read and write, what they leave alone, and how they treat
// values of the wrong type or size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/Settings.h"

using namespace tpx::test;

namespace {

// A key of our own for the raw-format cases, so they never touch the
// program's real settings.
const char kScratchKey[] = "Software\\Brindlecourt\\TapestrixSettingsTest";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kScratchKey);
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, kScratchKey));
    }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kScratchKey); }

    RegistrySnapshot m_scratch{HKEY_CURRENT_USER, kScratchKey};
};

std::vector<uint8_t> RawValue(const char* subKey, const char* name, DWORD* type)
{
    HKEY key = nullptr;
    std::vector<uint8_t> data;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return data;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(key);
    return data;
}

}  // namespace

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
    // Nor any level above it that was not there.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST(SettingsStoreMissingKey, MissingValueKeepsDefault)
{
    AppRegistryScope scope;
    DWORD number = 3;
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_HIDE_ITEM_TIMER, &number));
    EXPECT_EQ(3u, number);
    CString folder("unchanged");
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, &folder));
    EXPECT_STREQ("unchanged", folder);
}

TEST_F(SettingsStore, NullArgumentsAreRefusedWithoutEffect)
{
    DWORD number = 7;
    CString text("keep");
    EXPECT_FALSE(ReadSettingDword(nullptr, kScratchKey, "A", &number));
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, nullptr, "A", &number));
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, nullptr, &number));
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, "A", nullptr));
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, nullptr, &text));
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "A", nullptr));
    EXPECT_FALSE(WriteSettingDword(HKEY_CURRENT_USER, kScratchKey, nullptr, 1));
    EXPECT_FALSE(WriteSettingString(HKEY_CURRENT_USER, nullptr, "A", "x"));
    EXPECT_FALSE(WriteSettingText(HKEY_CURRENT_USER, kScratchKey, "A", nullptr, 3));
    EXPECT_EQ(7u, number);
    EXPECT_STREQ("keep", text);
    // The unnamed default value was not written either.
    DWORD type = 0;
    EXPECT_TRUE(RawValue(kScratchKey, "", &type).empty());
    EXPECT_FALSE(GetRegType(HKEY_CURRENT_USER, kScratchKey, "A").has_value());
}

TEST_F(SettingsStore, DwordKeepsAllThirtyTwoBits)
{
    for (DWORD stored : {DWORD{0}, DWORD{1}, DWORD{255}, DWORD{256}, DWORD{300}, DWORD{86400},
                         DWORD{0xFFFFFFFF}}) {
        ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, kScratchKey, "Period", stored));
        EXPECT_EQ(REG_DWORD, GetRegType(HKEY_CURRENT_USER, kScratchKey, "Period").value_or(0));
        EXPECT_EQ(stored, GetRegDword(HKEY_CURRENT_USER, kScratchKey, "Period").value_or(12345));
        DWORD read = 12345;
        ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, "Period", &read));
        EXPECT_EQ(stored, read);
    }
}

TEST_F(SettingsStore, DwordReaderTakesWrongTypesAsRawBytes)
{
    // A string under a number's name: its first four bytes, NUL included.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kScratchKey, "Selection", "abc"));
    DWORD value = 9;
    ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, "Selection", &value));
    EXPECT_EQ(0x00636261u, value);

    // Fewer than four bytes fill the low bytes; nothing of the default stays.
    const uint8_t two[] = {0x05, 0x01};
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kScratchKey, "Short", REG_BINARY, two, sizeof(two)));
    value = 0xAAAAAAAA;
    ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, "Short", &value));
    EXPECT_EQ(0x0105u, value);

    // More than four bytes do not fit: counts as missing.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kScratchKey, "Long", "abcdefgh"));
    value = 30;
    EXPECT_FALSE(ReadSettingDword(HKEY_CURRENT_USER, kScratchKey, "Long", &value));
    EXPECT_EQ(30u, value);
}

TEST_F(SettingsStore, StringRoundTripStoresTheNul)
{
    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, kScratchKey, "Folder", "C:\\Wallpapers"));
    DWORD type = 0;
    const std::vector<uint8_t> raw = RawValue(kScratchKey, "Folder", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ASSERT_EQ(sizeof("C:\\Wallpapers"), raw.size());
    EXPECT_EQ(0, raw.back());

    CString read("default");
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Folder", &read));
    EXPECT_STREQ("C:\\Wallpapers", read);

    // The empty text is a value too, and reads back as empty.
    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, kScratchKey, "Empty", ""));
    read = "default";
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Empty", &read));
    EXPECT_TRUE(read.IsEmpty());
}

TEST_F(SettingsStore, TextWriterStoresExactlyTheGivenLength)
{
    const char path[] = "D:\\Pictures\\Holidays\\and more";
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, kScratchKey, "Folder", path, 20));
    EXPECT_EQ("D:\\Pictures\\Holidays", GetRegString(HKEY_CURRENT_USER, kScratchKey, "Folder").value_or("?"));
    DWORD type = 0;
    EXPECT_EQ(21u, RawValue(kScratchKey, "Folder", &type).size());

    // A length past the text's end stops at its NUL instead of reading on.
    const char shortText[] = "E:\\x";
    ASSERT_TRUE(WriteSettingText(HKEY_CURRENT_USER, kScratchKey, "Short", shortText, 200));
    EXPECT_EQ("E:\\x", GetRegString(HKEY_CURRENT_USER, kScratchKey, "Short").value_or("?"));
}

TEST_F(SettingsStore, StringOfTwoHundredFiftyNineCharactersFitsOneMoreDoesNot)
{
    const std::string fits(259, 'w');
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kScratchKey, "Fits", fits));
    CString read;
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Fits", &read));
    EXPECT_EQ(259, read.GetLength());
    EXPECT_STREQ(fits.c_str(), read);

    const std::string tooLong(260, 'w');
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kScratchKey, "TooLong", tooLong));
    read = "default";
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "TooLong", &read));
    EXPECT_STREQ("default", read);
}

TEST_F(SettingsStore, StringReaderEndsUnterminatedDataSafely)
{
    // 260 bytes without a single NUL: the text is those bytes, no more.
    const std::vector<uint8_t> bytes(260, 'b');
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kScratchKey, "Bytes", REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())));
    CString read;
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Bytes", &read));
    EXPECT_EQ(260, read.GetLength());
    EXPECT_EQ(std::string(260, 'b'), std::string(read));

    // A REG_SZ stored without its NUL, too.
    const char noNul[] = {'a', 'b', 'c'};
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kScratchKey, "NoNul", REG_SZ, noNul, sizeof(noNul)));
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "NoNul", &read));
    EXPECT_STREQ("abc", read);

    // 261 bytes are too many.
    const std::vector<uint8_t> more(261, 'b');
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kScratchKey, "More", REG_BINARY, more.data(),
                             static_cast<DWORD>(more.size())));
    read = "default";
    EXPECT_FALSE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "More", &read));
    EXPECT_STREQ("default", read);
}

TEST_F(SettingsStore, StringReaderTakesWrongTypesAsRawBytes)
{
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kScratchKey, "Number", 0x00434241));
    CString read;
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Number", &read));
    EXPECT_STREQ("ABC", read);

    // Text ends at the first NUL inside the data.
    const char twoParts[] = "first\0second";
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kScratchKey, "Multi", REG_MULTI_SZ, twoParts,
                             sizeof(twoParts)));
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, kScratchKey, "Multi", &read));
    EXPECT_STREQ("first", read);
}

TEST(SettingsStoreShellKeys, WritesTheShellsOwnValuesInPlace)
{
    RegistrySnapshot colours(HKEY_CURRENT_USER, TPX_KEY_COLORS);
    RegistrySnapshot general(HKEY_CURRENT_USER, TPX_KEY_GENERAL);
    CreateKey(HKEY_CURRENT_USER, TPX_KEY_COLORS);
    CreateKey(HKEY_CURRENT_USER, TPX_KEY_GENERAL);

    ASSERT_TRUE(WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_COLORS, TPX_VAL_BACKGROUND, "0 128 128"));
    EXPECT_EQ("0 128 128", GetRegString(HKEY_CURRENT_USER, "Control Panel\\Colors", "Background").value_or("?"));

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\a.htm"));
    CString wallpaper;
    ASSERT_TRUE(ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, &wallpaper));
    EXPECT_STREQ("C:\\a.htm", wallpaper);
}

TEST(SettingsStoreApplicationKey, AWriteIsSeenByTheNextRead)
{
    AppRegistryScope scope;
    ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, 3));
    DWORD page = 0;
    ASSERT_TRUE(ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, &page));
    EXPECT_EQ(3u, page);
    EXPECT_EQ(3u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "CurrentActivePage").value_or(0));
}
