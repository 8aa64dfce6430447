// The setup program as a user meets it, in a Wine prefix made for these tests
// alone (fresh-prefix.sh): a silent install with its help file, the installed
// Tapestrix changing the wallpaper through the Active Desktop object setup
// registered, upgrades over a running copy, and the silent and the
// interactive uninstall, each of which puts the Active Desktop class back as
// setup found it (another server, Wine's own, none).  Every test leaves
// nothing installed behind.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <shlobj.h>

#include <cstdlib>

#include "res/resource.h"

using namespace tpx::test;

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tapestrix";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kClassKey[] = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";
const char kProviderKey[] = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}\\InprocServer32";

// The Active Desktop class as text: the values Wine's registration has,
// type and text, so two states compare in one assertion that shows the
// difference (a key that is gone shows every value absent).
std::string DescribeClass()
{
    std::string text;
    const std::pair<const char*, const char*> values[] = {
        {kClassKey, ""}, {kProviderKey, ""}, {kProviderKey, "ThreadingModel"}};
    for (const auto& [key, name] : values) {
        const DWORD type = GetRegType(HKEY_LOCAL_MACHINE, key, name).value_or(REG_NONE);
        text += std::string(key) + " \"" + name + "\" " + std::to_string(type) + ": ";
        text += GetRegString(HKEY_LOCAL_MACHINE, key, name).value_or("absent") + "\n";
    }
    return text;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string SetupExe() { return std::getenv("TPX_SETUP") ? std::getenv("TPX_SETUP") : ""; }

std::string DataDir() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Brindlecourt\\Tapestrix"; }
std::string Shortcut() { return ShellFolder(CSIDL_PROGRAMS) + "\\Tapestrix.lnk"; }
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A shown window of the uninstaller: its wizard (the one with the frame its
// pages go into, 1018), or a message box it shows.  The wizard's caption
// ends in the page's (blank) sub-caption.
HWND UninstallerWindow(bool messageBox)
{
    for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, "#32770", nullptr)) != nullptr;) {
        char title[64] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        if (std::string(title).rfind("Tapestrix Uninstall", 0) == 0 && IsWindowVisible(hwnd) &&
            (GetDlgItem(hwnd, 1018) == nullptr) == messageBox)
            return hwnd;
    }
    return nullptr;
}

class Setup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FileExists(SetupExe())) << "TPX_SETUP: " << SetupExe(); }
    // The uninstaller stops a copy still running.
    void TearDown() override
    {
        if (auto dir = GetRegString(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation")) {
            EXPECT_TRUE(UninstallSilently(*dir));
        }
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brindlecourt");
        RemoveTree(DataDir());
    }

    // The setup program's exit code; 0 is success, 2 an aborted install.
    static DWORD RunSetup(const std::string& args = "/S")
    {
        ChildProcess setup;
        DWORD code = 1000;
        return setup.Start(SetupExe(), args) && setup.WaitExit(60000, &code) ? code : 1000;
    }
    // Uninstall.exe hands over to a copy of itself and returns; the copy's
    // last step removes the folder.
    static bool UninstallSilently(const std::string& dir)
    {
        ChildProcess uninstaller;
        return uninstaller.Start(dir + "\\Uninstall.exe", "/S") && uninstaller.WaitExit(30000) &&
               WaitFor([&] { return !FileExists(dir); }, 30000);
    }
    // The installed copy, started into the tray.
    bool StartApp(const std::string& dir)
    {
        SetRegDword(HKEY_CURRENT_USER, kAppKey, "MinimizeOnStartup", 1);
        return m_app.Start(dir + "\\Tapestrix.exe");
    }
    // Asked through its Exit command, the running copy ends cleanly before
    // its files go, by setup and by the uninstaller alike.
    bool AppEndedCleanly()
    {
        DWORD code = 1;
        return m_app.Process().WaitExit(0, &code) && code == 0;
    }
    static std::string AppString(const char* name)
    {
        return GetRegString(HKEY_CURRENT_USER, kAppKey, name).value_or("(none)");
    }

    TempDir m_temp;
    RunningTapestrix m_app{false};  // setup writes the settings
};

}  // namespace

// Over another server of the Active Desktop class (a value of another type):
// what the uninstaller puts back at the end.
TEST_F(Setup, InstallUpgradeAndSilentUninstallOverARunningCopyKeepEverySetting)
{
    const RegistrySnapshot winesOwn(HKEY_LOCAL_MACHINE, kClassKey);
    const std::string other = "%SystemRoot%\\other.dll";
    ASSERT_TRUE(
        SetRegBinary(HKEY_LOCAL_MACHINE, kProviderKey, "", REG_EXPAND_SZ, other.c_str(), DWORD(other.size() + 1)));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kProviderKey, "ThreadingModel", "Both"));
    const std::string before = DescribeClass();
    // A shown dialog with the main dialog's class and title, as the
    // program's message boxes have: not the one to ask to exit.
    static int exitRequests;
    const HWND lookalike = CreateWindowExA(0, "#32770", "Tapestrix", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200,
                                           100, nullptr, nullptr, nullptr, nullptr);
    static WNDPROC dialogProc;
    dialogProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        lookalike, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
            exitRequests += msg == WM_COMMAND && wp == ID_EXIT;
            return CallWindowProcA(dialogProc, hwnd, msg, wp, lp);
        })));
    // A folder named in Greek, CJK and emoji (this program, like Tapestrix,
    // runs in UTF-8): installed into, started from, upgraded by the next
    // setup, removed by the uninstaller.
    const std::string dir = m_temp / "Programme \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x9D\xB1 \xF0\x9F\x8C\x85";
    // A copy that will not end (here: its single-instance mutex held by us)
    // makes setup give up before it writes anything.
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, "Tapestrix Application");
    EXPECT_EQ(2u, RunSetup("/S /D=" + dir));
    CloseHandle(mutex);
    EXPECT_FALSE(FileExists(dir));
    ASSERT_EQ(0u, RunSetup("/S /D=" + dir));
    PumpMessages(100);
    EXPECT_EQ(0, exitRequests);
    DestroyWindow(lookalike);
    EXPECT_TRUE(FileExists(dir + "\\Tapestrix.chm"));
    EXPECT_EQ(ReadFileBytes(ExeDir() + "\\Tapestrix.exe"), ReadFileBytes(dir + "\\Tapestrix.exe"));
    EXPECT_TRUE(FileExists(Shortcut()));
    EXPECT_EQ(Quoted(dir + "\\Tapestrix.exe"), GetRegString(HKEY_CURRENT_USER, kRunKey, "Tapestrix"));
    const std::string converted = DataDir() + "\\Converted.bmp";
    EXPECT_EQ(converted, AppString("ConvertedBmpPath"));
    EXPECT_EQ(ShellFolder(CSIDL_MYPICTURES), AppString("WallpaperFolder"));

    // One version: the setup file's name and the entry's (the program's own
    // is the About page's, which hd_starts reads).
    const std::string version = GetRegString(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion").value_or("?");
    EXPECT_NE(std::string::npos, SetupExe().find("\\Tapestrix-" + version + "-setup.exe")) << SetupExe();
    const std::string uninstaller = Quoted(dir + "\\Uninstall.exe");
    const std::pair<const char*, std::string> entry[] = {{"DisplayName", "Tapestrix"},
                                                         {"Publisher", "Brindlecourt"},
                                                         {"DisplayIcon", dir + "\\Tapestrix.exe,0"},
                                                         {"InstallLocation", dir},
                                                         {"UninstallString", uninstaller},
                                                         {"QuietUninstallString", uninstaller + " /S"}};
    for (const auto& [name, value] : entry)
        EXPECT_EQ(value, GetRegString(HKEY_CURRENT_USER, kUninstallKey, name).value_or("(none)")) << name;
    const DWORD exeKb = static_cast<DWORD>(ReadFileBytes(dir + "\\Tapestrix.exe").size() / 1024);
    EXPECT_LE(exeKb, GetRegDword(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize").value_or(0));

    // A JPEG reaches the normal desktop through the bitmap setup named.
    ASSERT_TRUE(WritePicture(m_temp / "yellow.jpg", 16, 16, RGB(240, 220, 20)));
    SetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder", m_temp.Path());
    SetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection", 2);
    SetRegDword(HKEY_CURRENT_USER, kAppKey, "ConvertToBmp", 1);
    ASSERT_TRUE(StartApp(dir));
    m_app.DoubleClick();
    EXPECT_TRUE(WaitFor([&] { return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper") == converted; },
                        10000));

    // The upgrade over the running copy keeps what the user chose: both
    // values setup writes, and no longer starting at log-on.
    const std::string mine = m_temp / "Mine.bmp";
    SetRegString(HKEY_CURRENT_USER, kAppKey, "ConvertedBmpPath", mine);
    DeleteRegValue(HKEY_CURRENT_USER, kRunKey, "Tapestrix");
    ASSERT_EQ(0u, RunSetup());
    EXPECT_TRUE(AppEndedCleanly());
    EXPECT_EQ(m_temp.Path() + "|" + mine, AppString("WallpaperFolder") + "|" + AppString("ConvertedBmpPath"));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, kRunKey, "Tapestrix").has_value());

    // The silent uninstall removes all but the settings, the log-on value too.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kRunKey, "Tapestrix", Quoted(dir + "\\Tapestrix.exe")));
    ASSERT_TRUE(StartApp(dir));
    ASSERT_TRUE(UninstallSilently(dir));
    EXPECT_TRUE(AppEndedCleanly());
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, kRunKey, "Tapestrix").has_value());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_EQ(m_temp.Path() + "|" + mine, AppString("WallpaperFolder") + "|" + AppString("ConvertedBmpPath"));
    EXPECT_EQ(before, DescribeClass());
}

TEST_F(Setup, UninstallToldNotToKeepTheSettingsKeepsOnlyAShownBitmap)
{
    // Where the shell keeps the normal wallpaper, the one it records, and
    // the Active Desktop wallpaper; none of them names the bitmap at first,
    // the record does after (as a change through the Active Desktop leaves it).
    const std::pair<const char*, const char*> places[] = {
        {nullptr, nullptr}, {kDesktopKey, "Wallpaper"}, {kGeneralKey, "BackupWallpaper"}, {kGeneralKey, "Wallpaper"}};
    // The Active Desktop class as setup finds it, put back by the
    // uninstaller: Wine's own in the first round, none after.
    const RegistrySnapshot winesOwn(HKEY_LOCAL_MACHINE, kClassKey);
    for (const auto& shownBy : {places[0], places[2]}) {
        SCOPED_TRACE(shownBy.second ? shownBy.second : "not shown");
        const std::string before = DescribeClass();
        ASSERT_EQ(0u, RunSetup());
        const std::string dir = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Tapestrix";
        const std::string converted = AppString("ConvertedBmpPath");
        ASSERT_TRUE(WritePicture(converted, 8, 8, RGB(0, 0, 200)));
        for (const auto& place : places)
            if (place.first)
                SetRegString(HKEY_CURRENT_USER, place.first, place.second, place == shownBy ? converted : "C:\\x.bmp");

        ChildProcess uninstaller;
        ASSERT_TRUE(uninstaller.Start(dir + "\\Uninstall.exe"));
        HWND wizard = nullptr, box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (wizard = UninstallerWindow(false)) != nullptr; }, 20000));
        // "Uninstall", pressed again should the page not have been ready.
        for (int press = 0; press < 10 && !box; ++press) {
            PressButton(wizard, IDOK);
            WaitFor([&] { return (box = UninstallerWindow(true)) != nullptr; }, 2000);
        }
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(0u, ReadDialog(box).text.find("Keep your Tapestrix settings?")) << ReadDialog(box).text;
        PressButton(box, IDNO);
        EXPECT_TRUE(WaitFor([&] { return !FileExists(dir); }, 30000));
        // "Close" once the work is done.
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(wizard, IDOK)) != FALSE; }));
        PressButton(wizard, IDOK);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(wizard); }));

        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Brindlecourt"));
        EXPECT_EQ(before, DescribeClass());
        EXPECT_EQ(shownBy.first != nullptr, FileExists(converted));
        EXPECT_EQ(shownBy.first != nullptr, FileExists(DataDir()));
        RemoveTree(DataDir());
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kClassKey);
    }
}
