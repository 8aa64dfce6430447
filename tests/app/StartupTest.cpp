// Tapestrix.exe itself, started as a child program: the single-instance
// rule, the tray icon it puts up, Exit, and the one message it shows when
// the Active Desktop object cannot be created.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrayView.h"
#include "res/resource.h"

using namespace tpx::test;

namespace {

const char kActiveDesktopClass[] = "{75048700-EF1F-11D0-9888-006097DEACF9}";

std::string ProgramPath()
{
    return ExeDir() + "\\Tapestrix.exe";
}

// The program's icon as the shell would get it (the 32x32 image).
class ProgramIcon {
public:
    ProgramIcon()
    {
        m_module = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (m_module)
            m_icon = static_cast<HICON>(LoadImageA(m_module, MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                   IMAGE_ICON, 32, 32, 0));
    }
    ~ProgramIcon()
    {
        if (m_icon)
            DestroyIcon(m_icon);
        if (m_module)
            FreeLibrary(m_module);
    }
    HICON Get() const { return m_icon; }

private:
    HMODULE m_module = nullptr;
    HICON m_icon = nullptr;
};

// The hidden main dialog of a running copy.
HWND MainDialogOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", "Tapestrix"))
        if (!IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A window of our own keeps the desktop (and its tray) alive
        // between the programs a test starts.
        m_keepAlive = CreateWindowExA(0, "STATIC", "keep", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr);
        ASSERT_NE(nullptr, m_icon.Get());
        ASSERT_FALSE(TrayShowsIcon(m_icon.Get())) << "a copy is still running";
    }
    void TearDown() override { DestroyWindow(m_keepAlive); }

    // Starts a copy and waits until it sits in the tray.
    void StartInTray(ChildProcess* child)
    {
        ASSERT_TRUE(child->Start(ProgramPath()));
        ASSERT_TRUE(WaitFor([&] { return MainDialogOf(child->Pid()) != nullptr; }, 15000));
        ASSERT_TRUE(WaitFor([&] { return TrayShowsIcon(m_icon.Get()); }, 10000));
    }

    void Exit(ChildProcess* child)
    {
        const HWND dlg = MainDialogOf(child->Pid());
        ASSERT_NE(nullptr, dlg);
        PostMessageA(dlg, WM_COMMAND, ID_EXIT, 0);
        DWORD code = 1234;
        ASSERT_TRUE(child->WaitExit(10000, &code));
        EXPECT_EQ(0u, code);
    }

    HWND m_keepAlive = nullptr;
    ProgramIcon m_icon;
};

}  // namespace

TEST_F(Startup, MinimizedStartShowsOnlyTheTrayIconAndExitEndsCleanly)
{
    AppRegistryScope scope;
    scope.Set("MinimizeOnStartup", 1);
    ChildProcess tapestrix;
    StartInTray(&tapestrix);
    EXPECT_TRUE(WindowsOfProcess(tapestrix.Pid(), nullptr, nullptr, true).empty());
    Exit(&tapestrix);
    EXPECT_FALSE(TrayShowsIcon(m_icon.Get()));
}

TEST_F(Startup, SecondCopyEndsAtOnceAndLeavesTheFirstAlone)
{
    AppRegistryScope scope;
    scope.Set("MinimizeOnStartup", 1);
    ChildProcess first;
    StartInTray(&first);
    const HWND firstDialog = MainDialogOf(first.Pid());

    ChildProcess second;
    ASSERT_TRUE(second.Start(ProgramPath()));
    bool secondHadWindow = false;
    const bool ended = WaitFor(
        [&] {
            if (!WindowsOfProcess(second.Pid()).empty())
                secondHadWindow = true;
            return !second.IsRunning();
        },
        10000);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(secondHadWindow);
    DWORD code = 1234;
    EXPECT_TRUE(second.WaitExit(0, &code));
    EXPECT_EQ(0u, code);

    EXPECT_TRUE(first.IsRunning());
    EXPECT_EQ(firstDialog, MainDialogOf(first.Pid()));
    EXPECT_TRUE(TrayShowsIcon(m_icon.Get()));
    Exit(&first);
}

TEST_F(Startup, WithoutMinimizeOnStartupTheSettingsPathEndsInTheTrayToo)
{
    // "MinimizeOnStartup" absent: start-up goes through the settings sheet,
    // which takes the icon away while it is open and puts it up afterwards.
    AppRegistryScope scope;
    ChildProcess tapestrix;
    StartInTray(&tapestrix);
    Exit(&tapestrix);
}

TEST_F(Startup, NoActiveDesktopObjectShowsOneMessageAndEnds)
{
    AppRegistryScope scope;
    scope.Set("MinimizeOnStartup", 1);
    const std::string machineClass = std::string("Software\\Classes\\CLSID\\") + kActiveDesktopClass;
    RegistrySnapshot machine(HKEY_LOCAL_MACHINE, machineClass);
    RegistrySnapshot user(HKEY_CURRENT_USER, machineClass);
    DeleteKeyTree(HKEY_CURRENT_USER, machineClass);
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, machineClass + "\\InprocServer32"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, machineClass + "\\InprocServer32", "",
                             "C:\\windows\\system32\\tapestrix-missing-provider.dll"));

    ChildProcess tapestrix;
    ASSERT_TRUE(tapestrix.Start(ProgramPath()));
    const HWND box = WaitForDialogOf(tapestrix.Pid(), 15000);
    ASSERT_NE(nullptr, box);
    const DialogSeen seen = ReadDialog(box);
    EXPECT_EQ("Tapestrix", seen.caption);
    EXPECT_EQ("Unable to setup COM library or active desktop interface", seen.text);
    // The box is the only dialog: the main window was never created.
    EXPECT_EQ(std::vector<HWND>{box}, WindowsOfProcess(tapestrix.Pid(), "#32770"));
    EXPECT_EQ(nullptr, MainDialogOf(tapestrix.Pid()));
    EXPECT_FALSE(TrayShowsIcon(m_icon.Get()));

    PressButton(box, IDOK);
    EXPECT_TRUE(tapestrix.WaitExit(10000));
    EXPECT_FALSE(TrayShowsIcon(m_icon.Get()));
}
