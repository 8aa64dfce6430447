// The Wallpaper Browser page in the real sheet, opened by the main dialog in
// this process and driven from inside the sheet's loop: the listing and its
// count, sorting and typing to a name, an icon per file type, what a
// selection does to the buttons, the size and the thumbnail, the two Set
// buttons against the real Active Desktop provider, and that closing the
// sheet in the middle of a walk gives back every thread, GDI and USER object.
#include <gtest/gtest.h>

#include "GuiCounts.h"
#include "MainDialogSheet.h"
#include <commctrl.h>
#include <shlobj.h>

#include <tlhelp32.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"
#include "framework/App.h"
#include "res/resource.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

using Step = SheetStep;

HWND Browser(HWND sheet)
{
    return PageOf(sheet, 2);
}

class BrowserPage : public MainDialogSheet {
protected:
    static void SetUpTestSuite() { theWallpaperChanger.Initialize(); }
    void SetUp() override
    {
        m_registry.Set("CurrentActivePage", DWORD{2});
        MainDialogSheet::SetUp();
    }
    int Answer(HWND dialog) override
    {
        if (m_onDialog)
            m_onDialog(dialog);
        return m_answer;
    }

    // The list is complete once the count shows a number.
    static std::string CountWhenFilled(HWND page)
    {
        const HWND count = GetDlgItem(page, IDC_FILE_COUNT);
        WaitFor([&] { return !TextOf(count).empty() && TextOf(count).rfind("Counting", 0) != 0; }, 20000);
        return TextOf(count);
    }
    static int Threads()
    {
        int threads = 0;
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
            threads += entry.th32OwnerProcessID == GetCurrentProcessId();
        CloseHandle(snapshot);
        return threads;
    }
    static int ItemOf(HWND page, const std::string& name)
    {
        const HWND list = GetDlgItem(page, IDC_FILE_LIST);
        for (int i = 0; i < ListView_GetItemCount(list); ++i)
            if (Cell(page, i, 0) == name)
                return i;
        return -1;
    }
    static std::string Cell(HWND page, int item, int column)
    {
        char text[MAX_PATH + 1] = "";
        ListView_GetItemText(GetDlgItem(page, IDC_FILE_LIST), item, column, text, sizeof text);
        return text;
    }
    // Selects an item the way Ctrl+arrows and Space do: focus first, then
    // the selection.
    static void Select(HWND page, int item)
    {
        const HWND list = GetDlgItem(page, IDC_FILE_LIST);
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, item, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_SetItemState(list, item, LVIS_SELECTED, LVIS_SELECTED);
    }
    // The thumbnail's middle as the page paints it.
    static COLORREF ThumbnailPixel(HWND page)
    {
        RECT frame{};
        GetWindowRect(GetDlgItem(page, IDC_PREVIEW_FRAME), &frame);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&frame), 2);
        return PrintedClient(page, RGB(0, 0, 0)).At((frame.left + frame.right) / 2, frame.top + 4);
    }

    std::function<void(HWND)> m_onDialog;
    int m_answer = IDOK;
};

}  // namespace

TEST_F(BrowserPage, ListsEveryFileBelowTheFolderDepthFirstWithItsCount)
{
    TempDir dir, empty;
    for (const char* name : {"a.bmp", "b.jpg", "c.gif", "notes.txt", "sub\\d.bmp", "sub\\e.jpg"}) {
        MakeDirs((dir / name).substr(0, (dir / name).rfind('\\')));
        ASSERT_TRUE(WriteSolidBmp(dir / name, 4, 4, RGB(0, 0, 255)));
    }
    // A link back to the folder ends there (Wine's CreateSymbolicLink does
    // nothing: the host's shell makes it).
    char command[] = "sh -c \"ln -s .. sub/back\"";
    STARTUPINFOA startup{};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA("Z:\\bin\\sh", command, nullptr, nullptr, 0, 0, nullptr, dir.Path().c_str(), &startup,
                               &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(WaitFor([&] { return FileExists(dir / "sub\\back\\a.bmp"); }));

    const struct {
        const std::string* folder;
        const char* count;
    } cases[] = {{&dir.Path(), "6"}, {&empty.Path(), "0"}};
    for (const auto& c : cases) {
        m_registry.Set("WallpaperFolder", *c.folder);
        Run({[&](HWND sheet) {
            const HWND page = Browser(sheet);
            EXPECT_EQ(c.count, CountWhenFilled(page));
            EXPECT_EQ(*c.folder, TextOf(GetDlgItem(page, IDC_FOLDER_PATH)));
            const HWND list = GetDlgItem(page, IDC_FILE_LIST);
            ASSERT_EQ(std::stoi(c.count), ListView_GetItemCount(list));
            if (c.count != std::string("6"))
                return;
            const std::vector<std::pair<std::string, std::string>> expected = {
                {"a.bmp", dir.Path()},      {"b.jpg", dir.Path()},      {"c.gif", dir.Path()},
                {"notes.txt", dir.Path()},  {"d.bmp", dir / "sub"},     {"e.jpg", dir / "sub"}};
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(expected[i].first, Cell(page, i, 0)) << i;
                EXPECT_EQ(expected[i].second, Cell(page, i, 1)) << i;
            }
            // A click on "File Name" sorts by name; typing jumps to a name.
            const HWND header = ListView_GetHeader(list);
            SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
            SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
            const char* sorted[] = {"a.bmp", "b.jpg", "c.gif", "d.bmp", "e.jpg", "notes.txt"};
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(sorted[i], Cell(page, i, 0)) << i;
            SetFocus(list);
            SendMessageA(list, WM_CHAR, 'N', 1);   // a repeat count of one
            EXPECT_EQ(5, ListView_GetNextItem(list, -1, LVNI_SELECTED));
        }});
        EXPECT_EQ(*c.folder, GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder").value_or(""));
    }
}

TEST_F(BrowserPage, BrowseListsTheChosenFolderAndCancelChangesNothing)
{
    TempDir first, chosen;
    ASSERT_TRUE(WriteSolidBmp(first / "a.bmp", 4, 4, RGB(0, 0, 255)));
    ASSERT_TRUE(WriteSolidBmp(chosen / "x.bmp", 4, 4, RGB(0, 0, 255)));
    ASSERT_TRUE(WriteFileText(chosen / "y.txt", "x"));
    m_registry.Set("WallpaperFolder", first.Path());
    const struct {
        int answer;
        const std::string* shown;
        const char* count;
    } cases[] = {{IDCANCEL, &first.Path(), "1"}, {IDOK, &chosen.Path(), "2"}};
    Run({[&](HWND sheet) {
        const HWND page = Browser(sheet);
        EXPECT_EQ("1", CountWhenFilled(page));
        for (const auto& c : cases) {
            m_answer = c.answer;
            m_onDialog = [&](HWND dialog) {
                SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(chosen.Path().c_str()));
            };
            SendDlgItemMessageA(page, IDC_BROWSE_FOLDER, BM_CLICK, 0, 0);
            m_onDialog = nullptr;
            EXPECT_TRUE(WaitFor([&] { return TextOf(GetDlgItem(page, IDC_FILE_COUNT)) == c.count; }))
                << c.answer << ": " << TextOf(GetDlgItem(page, IDC_FILE_COUNT));
            EXPECT_EQ(*c.shown, TextOf(GetDlgItem(page, IDC_FOLDER_PATH)));
            EXPECT_EQ(*c.shown, GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder").value_or(""));
        }
        EXPECT_EQ(2u, m_seen.size());
    }});
}

TEST_F(BrowserPage, SelectionSetsTheButtonsTheSizeAndTheThumbnail)
{
    TempDir dir, other;
    ASSERT_TRUE(WriteFileText(other / "only.txt", "x"));
    ASSERT_TRUE(WriteJpeg(dir / "Photo.JPG", 1024, 768, RGB(255, 0, 0)));
    for (const char* name : {"page.html", "Readme.TXT", "bmp"})
        ASSERT_TRUE(WriteFileText(dir / name, "x"));
    // A JPEG's signature over bytes no decoder reads.
    ASSERT_TRUE(WriteFileText(dir / "broken.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + "cut short"));
    m_registry.Set("WallpaperFolder", dir.Path());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // A null name: Browse picks another folder, which leaves nothing selected.
    const struct {
        const char* name;
        bool normal, active;
        const char* size;
        COLORREF thumbnail;
    } cases[] = {{"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"page.html", false, true, "1024 x  768", RGB(255, 0, 0)},
                 {"broken.jpg", false, false, "??? x ???", face},
                 {"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"Readme.TXT", false, false, "??? x ???", face},
                 {"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"bmp", false, false, "??? x ???", face},
                 {"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {nullptr, false, false, "??? x ???", face}};
    Run({[&](HWND sheet) {
        const HWND page = Browser(sheet);
        ASSERT_EQ("5", CountWhenFilled(page));
        const HWND size = GetDlgItem(page, IDC_PREVIEW_SIZE);
        for (const auto& c : cases) {
            const std::string name = c.name ? c.name : "(another folder)";
            if (c.name) {
                const int item = ItemOf(page, c.name);
                ASSERT_GE(item, 0) << c.name;
                Select(page, item);
            } else {
                // Wine's folder tree takes a selection once the path's
                // parents have been expanded: asked twice.
                m_onDialog = [&](HWND dialog) {
                    for (int i = 0; i < 2; ++i)
                        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(other.Path().c_str()));
                };
                SendDlgItemMessageA(page, IDC_BROWSE_FOLDER, BM_CLICK, 0, 0);
                EXPECT_EQ("1", CountWhenFilled(page));
                EXPECT_EQ(other.Path(), TextOf(GetDlgItem(page, IDC_FOLDER_PATH)));
            }
            EXPECT_TRUE(WaitFor([&] { return TextOf(size) == c.size; })) << name << ": " << TextOf(size);
            PumpMessages(300);   // nothing else arrives once the selection has settled
            EXPECT_EQ(c.normal, IsWindowEnabled(GetDlgItem(page, IDC_SET_AS_NORMAL)) != FALSE) << name;
            EXPECT_EQ(c.active, IsWindowEnabled(GetDlgItem(page, IDC_SET_AS_ACTIVE)) != FALSE) << name;
            EXPECT_EQ(c.size, TextOf(size)) << name;
            EXPECT_TRUE(ColourNear(c.thumbnail, ThumbnailPixel(page), 8))
                << name << ": " << std::hex << ThumbnailPixel(page);
        }
    }});
    ASSERT_EQ(1u, m_seen.size()) << m_seen[0].text;  // the folder browser, and no message
}

TEST_F(BrowserPage, SetAsNormalConvertsAndSetAsActiveDoesNot)
{
    TempDir dir, out;
    ASSERT_TRUE(WriteJpeg(dir / "sea.jpg", 1024, 768, RGB(0, 160, 0)));
    ASSERT_TRUE(WriteSolidBmp(dir / "a.bmp", 8, 8, RGB(0, 0, 255)));
    const std::string converted = out / "converted.bmp";
    m_registry.Set("WallpaperFolder", dir.Path());
    m_registry.Set("ConvertedBmpPath", converted);
    m_registry.Set("ConvertToBmp", DWORD{0});
    m_registry.Set("EnableAutoChange", DWORD{1});
    const bool active = theWallpaperChanger.IsActiveDesktopEnabled() != FALSE;
    ASSERT_TRUE(theWallpaperChanger.EnableActiveDesktop(FALSE));
    std::string wallpaperDuringQuestion;
    Run({[&](HWND sheet) {
        const HWND page = Browser(sheet);
        CountWhenFilled(page);
        Select(page, ItemOf(page, "sea.jpg"));
        // The question comes while this change holds the engine: a timer
        // tick meanwhile is skipped, it does not set a.bmp under it.
        m_onDialog = [&](HWND) {
            SendMessageA(m_dlg.GetSafeHwnd(), WM_TIMER, IDT_AUTO_CHANGE, 0);
            wallpaperDuringQuestion = GetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper").value_or("");
        };
        m_answer = IDYES;
        SendDlgItemMessageA(page, IDC_SET_AS_NORMAL, BM_CLICK, 0, 0);
        m_onDialog = nullptr;
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("This is not a windows bitmap. Convert it so that you can display on your normal desktop?",
                  m_seen[0].text);
        EXPECT_NE(dir / "a.bmp", wallpaperDuringQuestion);
        EXPECT_EQ(converted, GetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper").value_or(""));
        EXPECT_EQ(dir / "sea.jpg", GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom").value_or(""));
        EXPECT_TRUE(ColourNear(RGB(0, 160, 0), ReadBmpPixel(converted, 10, 10), 8));
        HDC screen = GetDC(nullptr);
        EXPECT_TRUE(WaitFor([&] { return ColourNear(RGB(0, 160, 0), GetPixel(screen, 1015, 8), 12); }, 10000))
            << std::hex << GetPixel(screen, 1015, 8);
        ReleaseDC(nullptr, screen);

        // The Active Desktop takes the picture itself.
        DeleteFileA(converted.c_str());
        SendDlgItemMessageA(page, IDC_SET_AS_ACTIVE, BM_CLICK, 0, 0);
        EXPECT_EQ(dir / "sea.jpg", GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper").value_or(""));
        EXPECT_FALSE(FileExists(converted));
        EXPECT_EQ(1u, m_seen.size());
    }});
    KillTimer(m_dlg.GetSafeHwnd(), IDT_AUTO_CHANGE);
    theWallpaperChanger.EnableActiveDesktop(active);
}

TEST_F(BrowserPage, OneIconPerFileTypeAndClosingMidWalkGivesBackEveryObject)
{
    TempDir dir;
    const char* endings[] = {".bmp", ".txt", ".exe", ".html", ".ico", ".lnk", ".dat"};
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(WriteFileText(dir / ("f" + std::to_string(i) + endings[i % 7]), "x"));
    m_registry.Set("WallpaperFolder", dir.Path());
    HIMAGELIST images = nullptr;
    Run({[&](HWND sheet) {
        const HWND page = Browser(sheet);
        EXPECT_EQ("300", CountWhenFilled(page));
        const HWND list = GetDlgItem(page, IDC_FILE_LIST);
        // The columns leave room for the vertical scroll bar: no horizontal one.
        EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL);
        images = ListView_GetImageList(list, LVSIL_SMALL);
        // Every row asked for (as when it is drawn) shares its type's image.
        std::map<std::string, int> imageOf;
        std::set<int> distinct;
        for (int i = 0; i < 300; ++i) {
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            ASSERT_TRUE(ListView_GetItem(list, &item));
            const std::string name = Cell(page, i, 0);
            const int image = imageOf.emplace(name.substr(name.rfind('.')), item.iImage).first->second;
            EXPECT_EQ(image, item.iImage) << name;
            distinct.insert(item.iImage);
        }
        EXPECT_EQ(7u, distinct.size());
        EXPECT_EQ(7, ImageList_GetImageCount(images));
    }});   // the shell's own caches are made once per process

    // A tree that takes a while, and the sheet closed the moment its walk
    // starts.
    for (int i = 0; i < 40 && MakeDirs(dir / ("d" + std::to_string(i))); ++i)
        for (int j = 0; j < 50; ++j)
            ASSERT_TRUE(WriteFileText(dir / ("d" + std::to_string(i) + "\\g" + std::to_string(j)), "")) << i;
    const int gdi = CountGdiObjects(), user = CountUserObjects(), threads = Threads();
    ASSERT_GT(gdi, 0);
    static int closed;
    closed = 0;
    const HHOOK hook = SetWindowsHookExA(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && message->message == WM_SETTEXT && GetDlgCtrlID(message->hwnd) == IDC_FILE_COUNT &&
                std::string(reinterpret_cast<const char*>(message->lParam)).rfind("Counting", 0) == 0 && !closed++)
                PostMessageA(GetAncestor(message->hwnd, GA_ROOT), WM_CLOSE, 0, 0);
            return CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, GetCurrentThreadId());
    SendMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, ID_OPEN_SETTINGS, 0);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(1, closed);
    EXPECT_EQ(threads, Threads());   // the walk was stopped and joined, not left to run
    PumpMessages(100);   // anything the walk might still have posted
    EXPECT_EQ(gdi, CountGdiObjects());
    EXPECT_EQ(user, CountUserObjects());
}
