// The help as the user opens it: "Help Topics" of the tray menu, in a
// running Tapestrix.exe, has the shell open
// Tapestrix.chm beside the program in the system's help viewer. Wine's
// viewer has no HTML engine here, so its pages may stay blank; the window,
// its title from the compiled file, its table of contents and the absence of
// the program's failure message are what can be seen.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "res/resource.h"

using namespace tpx::test;

TEST(HelpTopics, OpenTheCompiledHelpBesideTheProgram)
{
    const std::vector<uint8_t> toc = ReadFileBytes(TPX_HELP_TOC);
    LRESULT entries = 0;   // of the table of contents as written, books included
    for (auto at = toc.begin(); (at = std::search(at, toc.end(), "text/sitemap", "text/sitemap" + 12)) != toc.end(); ++at)
        ++entries;
    RunningTapestrix app;
    ASSERT_TRUE(app.Start());

    app.Command(ID_HELP_TOPICS);
    HWND help = nullptr;
    const bool opened = WaitFor([&] { return (help = FindWindowA("HH Parent", nullptr)) != nullptr; }, 15000);
    // The program said nothing: a failure would be a message box of its own.
    const HWND box = WaitForDialogOf(app.Pid(), opened ? 1000 : 100);
    EXPECT_EQ(nullptr, box) << ReadDialog(box).text;
    ASSERT_TRUE(opened);
    // The title comes from the compiled file's own window definition.
    char title[64] = {};
    GetWindowTextA(help, title, sizeof title);
    EXPECT_STREQ("Tapestrix Help", title);
    EXPECT_TRUE(IsWindowVisible(help));
    // The contents tree, in the viewer's navigation pane, holds the file's table of contents.
    const HWND navigation = FindWindowExA(help, nullptr, "HH Child", nullptr);
    const HWND tree = FindWindowExA(navigation, nullptr, "SysTreeView32", nullptr);
    EXPECT_EQ(entries, SendMessageA(tree, TVM_GETCOUNT, 0, 0));
    // The viewer is a process of its own: ended here, not left to the next test.
    DWORD pid = 0;
    GetWindowThreadProcessId(help, &pid);
    const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageA(help, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process, 1);
    CloseHandle(process);
}
