// The help as the user opens it: "Help Topics" of the tray menu and of the
// settings sheet, in a running Tapestrix.exe, have the shell open
// Tapestrix.chm beside the program in the system's help viewer. Wine's
// viewer has no HTML engine here, so its pages may stay blank; the window,
// its title from the compiled file and the absence of the program's failure
// message are what can be seen.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <commctrl.h>

#include <string>

#include "res/resource.h"

using namespace tpx::test;

namespace {

// Entries of the help project's table of contents, books included.
LRESULT TocEntries()
{
    const std::vector<uint8_t> bytes = ReadFileBytes(TPX_HELP_TOC);
    const std::string text(bytes.begin(), bytes.end());
    LRESULT count = 0;
    for (size_t at = text.find("text/sitemap"); at != std::string::npos; at = text.find("text/sitemap", at + 1))
        ++count;
    return count;
}

// Closes a help window and waits for its process to end.
void CloseHelp(HWND help)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(help, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageA(help, WM_CLOSE, 0, 0);
    if (process && WaitForSingleObject(process, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process, 1);
    if (process)
        CloseHandle(process);
}

}  // namespace

TEST(HelpTopics, OpenTheCompiledHelpBesideTheProgram)
{
    ASSERT_TRUE(FileExists(ExeDir() + "\\Tapestrix.chm")) << "the build puts the help beside the program";
    if (HWND stale = FindWindowA("HH Parent", nullptr))
        CloseHelp(stale);

    AppRegistryScope registry;
    registry.Set("MinimizeOnStartup", 1);
    // Keeps Wine's desktop, and its tray, alive between programs.
    const HWND keepAlive = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ChildProcess tapestrix;
    ASSERT_TRUE(tapestrix.Start(ExeDir() + "\\Tapestrix.exe"));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = MainDialogOf(tapestrix.Pid())) != nullptr; }, 15000));

    PostMessageA(dialog, WM_COMMAND, ID_HELP_TOPICS, 0);
    HWND help = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (help = FindWindowA("HH Parent", nullptr)) != nullptr; }, 15000));
    // The program said nothing: a failure would be a message box of its own.
    const HWND box = WaitForDialogOf(tapestrix.Pid(), help ? 1000 : 100);
    EXPECT_EQ(nullptr, box) << ReadDialog(box).text;
    if (box)
        PressButton(box, IDOK);
    if (help) {
        // The title comes from the compiled file's own window definition.
        char title[64] = {};
        GetWindowTextA(help, title, sizeof title);
        EXPECT_STREQ("Tapestrix Help", title);
        EXPECT_TRUE(IsWindowVisible(help));
        // The contents pane holds the file's table of contents.
        HWND tree = nullptr;
        EnumChildWindows(
            help,
            [](HWND child, LPARAM found) {
                char name[32] = {};
                GetClassNameA(child, name, sizeof name);
                if (lstrcmpiA(name, "SysTreeView32"))
                    return TRUE;
                *reinterpret_cast<HWND*>(found) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&tree));
        EXPECT_EQ(TocEntries(), SendMessageA(tree, TVM_GETCOUNT, 0, 0));
        CloseHelp(help);
    }

    // "Help Topics" of the settings sheet opens it too, with no message
    // of the program's own beside the sheet.
    PostMessageA(dialog, WM_COMMAND, ID_OPEN_SETTINGS, 0);
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = WaitForDialogOf(tapestrix.Pid(), 0)) != nullptr; }, 15000));
    const HWND topics = FindWindowExA(sheet, nullptr, "Button", "Help Topics");
    ASSERT_TRUE(topics);
    EXPECT_EQ(IDHELP, GetDlgCtrlID(topics));
    PostMessageA(topics, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return (help = FindWindowA("HH Parent", nullptr)) != nullptr; }, 15000));
    PumpMessages(1000);
    for (HWND shown : WindowsOfProcess(tapestrix.Pid(), "#32770", nullptr, true))
        EXPECT_EQ(sheet, shown) << ReadDialog(shown).text;
    if (help)
        CloseHelp(help);
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    PumpMessages(500);

    PostMessageA(dialog, WM_COMMAND, ID_EXIT, 0);
    EXPECT_TRUE(tapestrix.WaitExit(10000));
    DestroyWindow(keepAlive);
}
