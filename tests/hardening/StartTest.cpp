// Tapestrix.exe started the way a bad day starts it: over settings that some
// other tool wrote with the wrong types and sizes, and twenty times at once.
// The program must start, fall back to each reader's default, change the
// wallpaper as the sound values say, open its settings sheet on every page
// without a word, and end up as one copy with one icon.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include <commctrl.h>
#include <shellapi.h>

#include "res/resource.h"

using namespace tpx::test;

namespace {

const char kColorsKey[] = "Control Panel\\Colors";

// A value's stored type and bytes.
std::pair<DWORD, std::string> RawValue(const char* key, const char* name)
{
    HKEY opened = nullptr;
    std::pair<DWORD, std::string> value{REG_NONE, std::string(128 * 1024, '\0')};
    DWORD size = DWORD(value.second.size());
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return {};
    if (RegQueryValueExA(opened, name, nullptr, &value.first, reinterpret_cast<BYTE*>(&value.second[0]), &size))
        value = {};
    value.second.resize(size);
    RegCloseKey(opened);
    // Wine's ANSI registry functions add a NUL to text stored without one.
    if (value.first == REG_SZ && !value.second.empty() && value.second.back() == '\0')
        value.second.pop_back();
    return value;
}

// One way of writing a value wrongly: the raw type and bytes put where the
// program reads a number, and where it reads a text.
struct Damage {
    const char* what;
    DWORD numberType;
    std::string number;
    DWORD textType;
    std::string text;
};

std::vector<Damage> Damages()
{
    const std::string big(64 * 1024, 'x');
    return {
        {"a string for a number, a number for a string", REG_SZ, std::string("1", 2), REG_DWORD,
         std::string("\x01\0\0\0", 4)},
        {"binary", REG_BINARY, std::string("\x01\0\0\0", 4), REG_BINARY, std::string("C:\\", 3)},
        {"a list of strings", REG_MULTI_SZ, std::string("1\0\0", 3), REG_MULTI_SZ, std::string("C:\\\0\0", 5)},
        {"a 64 KB string", REG_SZ, big, REG_SZ, big},
        {"empty", REG_DWORD, "", REG_SZ, ""},
        {"no terminating NUL", REG_SZ, "1", REG_SZ, "C:\\missing"},
    };
}

// Values the program reads as numbers and as texts, in its own key and the shell's.
const char* const kNumbers[] = {"Selection", "AutoChangeSelection", "EnableAutoChange", "AutoChangeTimer",
                                "HideDesktopItems", "HideItemTimer", "MinimizeAllWindows", "TurnOnSoundEffects",
                                "ConvertToBmp", "CurrentActivePage"};
const char* const kTexts[] = {"BmpConvertedFrom", "Version", "CompanyURL", "SupportEmail", "CommentEmail"};

class Starts : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_keepAlive = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        m_registry.Set("MinimizeOnStartup", 1);
        m_registry.Set("WallpaperFolder", m_pictures.Path());
        m_registry.Set("ConvertedBmpPath", m_work / "Converted.bmp");
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    }
    void TearDown() override { DestroyWindow(m_keepAlive); }

    static void Put(HKEY root, const char* key, const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_TRUE(SetRegBinary(root, key, name, type, bytes.data(), DWORD(bytes.size()))) << name;
    }

    AppRegistryScope m_registry;
    RegistrySnapshot m_colors{HKEY_CURRENT_USER, kColorsKey};
    TempDir m_pictures;
    TempDir m_work;
    HWND m_keepAlive = nullptr;
};

}  // namespace

// One start per way of writing a value wrongly, with every value the
// program reads written that way at once, but for the four that drive the
// change, which take turns: with "Selection" and the folder sound, the
// defaults make a sequential change to the one bitmap (no conversion, so the
// JPEG is no candidate) and leave the icons shown; with "Selection" written
// wrongly too, its default is the manual choice; with the folder and the
// bitmap's path written wrongly, no folder: no change, no message.  Then the
// sheet, which alone reads the About texts and its start page, is opened and
// shown on each page: defaults where the text cannot be read, no message.
TEST_F(Starts, SettingsOfTheWrongTypeFallBackToTheDefaults)
{
    WNDCLASSA wc{0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Progman"};
    RegisterClassA(&wc);
    const HWND icons = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr,
                                       nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(WriteSolidBmp(m_pictures / "b.bmp", 8, 8, RGB(0, 0, 200)));
    ASSERT_TRUE(WriteFileText(m_pictures / "a.jpg", "not read: no conversion by default"));
    const std::vector<Damage> damages = Damages();
    for (size_t i = 0; i < damages.size(); ++i) {
        const Damage& damage = damages[i];
        SCOPED_TRACE(damage.what);
        enum { kRest, kSelectionToo, kFolderToo };
        const int variant = int(i % 3);
        for (const char* name : kNumbers)
            Put(HKEY_CURRENT_USER, kAppKey, name, damage.numberType, damage.number);
        if (variant != kSelectionToo)
            m_registry.Set("Selection", 2);
        m_registry.Set("WallpaperFolder", m_pictures.Path());
        m_registry.Set("ConvertedBmpPath", m_work / "Converted.bmp");
        if (variant == kFolderToo)
            for (const char* name : {"WallpaperFolder", "ConvertedBmpPath"})
                Put(HKEY_CURRENT_USER, kAppKey, name, damage.textType, damage.text);
        for (const char* name : kTexts)
            Put(HKEY_CURRENT_USER, kAppKey, name, damage.textType, damage.text);
        for (const char* name : {"Wallpaper", "BackupWallpaper"})
            Put(HKEY_CURRENT_USER, kGeneralKey, name, damage.textType, damage.text);
        Put(HKEY_CURRENT_USER, kColorsKey, "Background", damage.textType, damage.text);

        ChildProcess process;
        ASSERT_TRUE(process.Start(ExeDir() + "\\Tapestrix.exe"));
        HWND dialog = nullptr;
        auto started = [&] { return (dialog = MainDialogOf(process.Pid())) || !process.IsRunning(); };
        ASSERT_TRUE(WaitFor(started, 15000) && dialog) << "did not start";
        EXPECT_TRUE(TrayHasIcon(dialog));
        PostMessageA(dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK);
        std::string text = damage.text;  // as Wine's ANSI registry functions give it back
        if (damage.textType == REG_SZ && !text.empty() && text.back() == '\0')
            text.pop_back();
        if (variant == kFolderToo) {
            PumpMessages(1500);
            EXPECT_TRUE(RawValue(kGeneralKey, "BackupWallpaper") == std::make_pair(damage.textType, text))
                << "the wallpaper changed";
        } else if (variant == kRest) {
            EXPECT_TRUE(WaitFor([&] { return NormalWallpaper() == m_pictures / "b.bmp"; }, 8000))
                << NormalWallpaper();
            PumpMessages(300);
            EXPECT_TRUE(IsWindowVisible(icons)) << "the icons were hidden";
            // The Active Desktop wallpaper survives the normal change exactly as another program left it.
            EXPECT_TRUE(RawValue(kGeneralKey, "Wallpaper") == std::make_pair(damage.textType, text));
        } else {
            const HWND chooser = WaitForDialogOf(process.Pid(), 8000);
            ASSERT_NE(nullptr, chooser) << "no manual choice";
            EXPECT_EQ("Select normal desktop wallpaper", ReadDialog(chooser).caption);
            PressButton(chooser, IDCANCEL);
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(chooser); }));
        }

        // The string reader takes a REG_SZ of 1 to 260 bytes, whatever it
        // holds.  No message, from the change before or from a page.
        const bool readable = damage.textType == REG_SZ && !damage.text.empty() && damage.text.size() <= 260;
        PostMessageA(dialog, WM_COMMAND, ID_OPEN_SETTINGS, 0);
        HWND sheet = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (sheet = SettingsSheetOf(process.Pid())) != nullptr; }, 10000));
        const HWND about = PropSheet_GetCurrentPageHwnd(sheet);  // the start page when none was remembered
        const std::pair<int, std::string> defaults[] = {{1043, "3.0"},
                                                        {1034, "http://www.brindlecourt.example/tapestrix/"},
                                                        {1033, "support@brindlecourt.example"},
                                                        {1032, "comments@brindlecourt.example"}};
        for (const auto& [id, fallback] : defaults) {
            char shown[300] = {};
            GetDlgItemTextA(about, id, shown, sizeof shown);
            EXPECT_EQ((id == 1043 ? "Tapestrix - Version " : "") + (readable ? text : fallback), shown) << id;
        }
        for (int page = 1; page < 4; ++page) {
            SendMessageA(sheet, PSM_SETCURSEL, page, 0);
            PumpMessages(300);
            EXPECT_NE(about, PropSheet_GetCurrentPageHwnd(sheet)) << page;
            const std::vector<HWND> shown = WindowsOfProcess(process.Pid(), "#32770", nullptr, true);
            EXPECT_EQ(std::vector<HWND>{sheet}, shown)
                << "page " << page << ": " << ReadDialog(shown.empty() ? nullptr : shown.back()).text;
        }
        PostMessageA(sheet, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
        EXPECT_EQ(3u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "CurrentActivePage").value_or(99));

        PostMessageA(dialog, WM_COMMAND, ID_EXIT, 0);
        DWORD code = 1;
        EXPECT_TRUE(process.WaitExit(10000, &code) && code == 0);
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    }
    DestroyWindow(icons);
}

// Twenty copies started together: exactly one stays, with its icon, and no
// copy shows anything.
TEST_F(Starts, TwentyCopiesAtOnceLeaveOneWithOneIconAndNoMessage)
{
    std::vector<std::unique_ptr<ChildProcess>> copies;
    for (int i = 0; i < 20; ++i) {
        copies.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(copies.back()->Start(ExeDir() + "\\Tapestrix.exe"));
    }
    bool shown = false;
    auto running = [&] {
        int count = 0;
        for (const auto& copy : copies) {
            shown |= !WindowsOfProcess(copy->Pid(), nullptr, nullptr, true).empty();
            count += copy->IsRunning();
        }
        return count;
    };
    ASSERT_TRUE(WaitFor([&] { return running() == 1; }, 30000)) << running() << " copies run";
    PumpMessages(1000);
    EXPECT_EQ(1, running());
    EXPECT_FALSE(shown) << "a copy showed a window";
    for (const auto& copy : copies) {
        if (!copy->IsRunning())
            continue;
        const HWND dialog = MainDialogOf(copy->Pid());
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(TrayHasIcon(dialog));
        EXPECT_EQ(std::vector<HWND>{dialog}, WindowsOfProcess(copy->Pid(), "#32770"));
        PostMessageA(dialog, WM_COMMAND, ID_EXIT, 0);
        EXPECT_TRUE(copy->WaitExit(10000));
    }
}
