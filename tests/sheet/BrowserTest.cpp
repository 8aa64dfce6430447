// The Wallpaper Browser page in the real sheet, opened by the main dialog in
// this process and driven from inside the sheet's loop: the listing and its
// count, sorting and typing to a name, an icon per file type, what a
// selection and Browse do to the buttons, the size and the thumbnail, the
// two Set buttons against the real Active Desktop provider, and that closing
// the sheet in the middle of a walk stops and joins the walk before the page
// goes and, every page made once, gives back every GDI and USER object.

#include "MainDialogSheet.h"
#include <shlobj.h>

#include <map>

#include "engine/WallpaperChanger.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

class BrowserPage : public MainDialogSheet {
protected:
    static void SetUpTestSuite() { theWallpaperChanger.Initialize(); }
    // The sheet opens on the page shown last.
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
    static std::string Cell(HWND page, int item, int column)
    {
        char text[MAX_PATH + 1] = "";
        ListView_GetItemText(GetDlgItem(page, IDC_FILE_LIST), item, column, text, sizeof text);
        return text;
    }
    // Selects the file of that name the way Ctrl+arrows and Space do: focus
    // first, then the selection.  False when it is not listed.
    static bool Select(HWND page, const std::string& name)
    {
        const HWND list = GetDlgItem(page, IDC_FILE_LIST);
        int item = ListView_GetItemCount(list) - 1;
        while (item >= 0 && Cell(page, item, 0) != name)
            --item;
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, item, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_SetItemState(list, item, LVIS_SELECTED, LVIS_SELECTED);
        return item >= 0;
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

// The walk held inside its first listing call until the page is being
// destroyed, then 200 ms more: a walk left to run outlives the window.
struct HeldWalk {
    HANDLE released, thread;
    HWND page;
    volatile DWORD threadId;
    bool endedBeforePageGone;
    int callsAfterRelease, postsAfterRelease;
    BOOL(WINAPI* list)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    BOOL(WINAPI* post)(HWND, UINT, WPARAM, LPARAM);
} g_held;

BOOL WINAPI HeldListing(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size)
{
    if (WaitForSingleObject(g_held.released, 0) == WAIT_OBJECT_0) {
        ++g_held.callsAfterRelease;
    } else if (!g_held.threadId) {
        g_held.threadId = GetCurrentThreadId();
        WaitForSingleObject(g_held.released, 10000);
        Sleep(200);
    }
    return g_held.list(folder, kind, buffer, size);
}

BOOL WINAPI WatchedPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_held.postsAfterRelease +=
        GetCurrentThreadId() == g_held.threadId && WaitForSingleObject(g_held.released, 0) == WAIT_OBJECT_0;
    return g_held.post(window, message, wParam, lParam);
}

LRESULT CALLBACK WatchPage(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == g_held.page && message->message == WM_DESTROY)
        SetEvent(g_held.released);
    if (code == HC_ACTION && message->hwnd == g_held.page && message->message == WM_NCDESTROY)
        g_held.endedBeforePageGone = WaitForSingleObject(g_held.thread, 0) == WAIT_OBJECT_0;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST_F(BrowserPage, ListsEveryFileBelowTheFolderDepthFirstWithItsCountAndTypeIcon)
{
    TempDir dir;
    // In the walk's order: a folder's own files may follow its sub-folder's.
    const char* names[] = {"a.bmp", "b.jpg", "c.gif", "notes.txt", "sub\\d.bmp", "sub\\e.jpg", "x.bmp"};
    for (const std::string name : names)
        ASSERT_TRUE(MakeDirs(dir / "sub") && WritePicture(dir / name, 4, 4, RGB(0, 0, 255)));
    m_registry.Set("WallpaperFolder", dir.Path());
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 2);
        EXPECT_EQ("7", CountWhenFilled(page));
        const HWND list = GetDlgItem(page, IDC_FILE_LIST);
        ASSERT_EQ(7, ListView_GetItemCount(list));
        // The columns leave room for the vertical scroll bar: no horizontal one.
        EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL);
        std::map<std::string, int> imageOf;   // one shell question, one image, per file type
        for (int i = 0; i < 7; ++i) {
            const std::string path = names[i];
            EXPECT_EQ(path.substr(path.rfind('\\') + 1), Cell(page, i, 0)) << i;
            EXPECT_EQ(i == 4 || i == 5 ? dir / "sub" : dir.Path(), Cell(page, i, 1)) << i;
            LVITEMA item{};
            item.mask = LVIF_IMAGE, item.iItem = i;
            ASSERT_TRUE(ListView_GetItem(list, &item));
            EXPECT_EQ(imageOf.emplace(path.substr(path.rfind('.')), item.iImage).first->second, item.iImage) << i;
        }
        EXPECT_EQ(int(imageOf.size()), ImageList_GetImageCount(ListView_GetImageList(list, LVSIL_SMALL)));
        // A click on "File Name" sorts by name; typing jumps to a name.
        const HWND header = ListView_GetHeader(list);
        SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
        SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
        const char* sorted[] = {"a.bmp", "b.jpg", "c.gif", "d.bmp", "e.jpg", "notes.txt", "x.bmp"};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(sorted[i], Cell(page, i, 0)) << i;
        SetFocus(list);
        SendMessageA(list, WM_CHAR, 'N', 1);   // a repeat count of one
        EXPECT_EQ(5, ListView_GetNextItem(list, -1, LVNI_SELECTED));
    }});
}

TEST_F(BrowserPage, TheSelectedFileDecidesButtonsSizeAndThumbnailAndIsSetAsNormalOrActive)
{
    TempDir dir, other, out;
    ASSERT_TRUE(WriteFileText(other / "only.txt", "x"));
    ASSERT_TRUE(WritePicture(dir / "Photo.JPG", 1024, 768, RGB(255, 0, 0)));
    for (const char* name : {"page.html", "bmp"})
        ASSERT_TRUE(WriteFileText(dir / name, "x"));
    // A JPEG's signature over bytes no decoder reads.
    ASSERT_TRUE(WriteFileText(dir / "broken.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + "cut short"));
    m_registry.Set("WallpaperFolder", dir.Path());
    const std::string converted = out / "converted.bmp";
    m_registry.Set("ConvertedBmpPath", converted);
    m_registry.Set("ConvertToBmp", DWORD{0});
    const bool active = theWallpaperChanger.IsActiveDesktopEnabled() != FALSE;
    ASSERT_TRUE(theWallpaperChanger.EnableActiveDesktop(FALSE));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // Browse: an empty name cancels it, which changes nothing; a null name
    // picks another folder, which leaves nothing selected.
    const struct {
        const char* name;
        bool normal, active;
        const char* size;
        COLORREF thumbnail;
    } cases[] = {{"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"page.html", false, true, "1024 x  768", RGB(255, 0, 0)},
                 {"broken.jpg", false, false, "??? x ???", face},
                 {"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"bmp", false, false, "??? x ???", face},
                 {"Photo.JPG", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {"", true, true, "1024 x  768", RGB(255, 0, 0)},
                 {nullptr, false, false, "??? x ???", face}};
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 2);
        ASSERT_EQ("4", CountWhenFilled(page));
        ASSERT_TRUE(Select(page, "Photo.JPG"));
        m_answer = IDYES;   // to the question whether to convert
        SendDlgItemMessageA(page, IDC_SET_AS_NORMAL, BM_CLICK, 0, 0);
        EXPECT_EQ(1u, m_seen.size());
        EXPECT_EQ(converted, GetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper").value_or(""));
        // The Active Desktop takes the picture itself.
        DeleteFileA(converted.c_str());
        SendDlgItemMessageA(page, IDC_SET_AS_ACTIVE, BM_CLICK, 0, 0);
        EXPECT_EQ(dir / "Photo.JPG", GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper").value_or(""));
        EXPECT_FALSE(FileExists(converted));

        const HWND size = GetDlgItem(page, IDC_PREVIEW_SIZE);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name ? c.name : "(another folder)");
            if (c.name && *c.name) {
                ASSERT_TRUE(Select(page, c.name));
            } else {
                // Wine's folder tree takes a selection once the path's
                // parents have been expanded: asked twice.
                m_answer = c.name ? IDCANCEL : IDOK;
                m_onDialog = [&](HWND dialog) {
                    for (int i = 0; i < 2; ++i)
                        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, LPARAM(other.Path().c_str()));
                };
                SendDlgItemMessageA(page, IDC_BROWSE_FOLDER, BM_CLICK, 0, 0);
                const std::string& shown = c.name ? dir.Path() : other.Path();
                EXPECT_EQ(c.name ? "4" : "1", CountWhenFilled(page));
                EXPECT_EQ(shown, TextOf(GetDlgItem(page, IDC_FOLDER_PATH)));
                EXPECT_EQ(shown, GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder").value_or(""));
            }
            EXPECT_TRUE(WaitFor([&] { return TextOf(size) == c.size; })) << TextOf(size);
            PumpMessages(300);   // nothing else arrives once the selection has settled
            EXPECT_EQ(c.normal, IsWindowEnabled(GetDlgItem(page, IDC_SET_AS_NORMAL)) != FALSE);
            EXPECT_EQ(c.active, IsWindowEnabled(GetDlgItem(page, IDC_SET_AS_ACTIVE)) != FALSE);
            EXPECT_EQ(c.size, TextOf(size));
            EXPECT_TRUE(ColourNear(c.thumbnail, ThumbnailPixel(page), 8)) << std::hex << ThumbnailPixel(page);
        }
    }});
    // The question, the folder browser twice, and no message.
    EXPECT_EQ(3u, m_seen.size()) << m_seen.back().text;
    theWallpaperChanger.EnableActiveDesktop(active);
}

TEST_F(BrowserPage, ClosingMidWalkStopsAndJoinsTheWalkBeforeThePageGoes)
{
    TempDir dir;
    for (const std::string name : {"a\\x.bmp", "b\\y.bmp"})
        ASSERT_TRUE(MakeDirs(dir / name.substr(0, 1)) && WriteFileText(dir / name, "x"));
    // Once through every page first: what a first opening keeps for good
    // (the system's caches) is not the sheet's to give back.
    Run({[](HWND sheet) {
        for (int page : {0, 1, 3, 2})
            SendMessageA(sheet, PSM_SETCURSEL, page, 0);
    }});
    // Once through every page first, each painted: what Wine keeps for good
    // after a first painting (its cached device contexts) is not the sheet's.
    Run({[](HWND sheet) {
        for (int page : {0, 1, 3, 2}) {
            SendMessageA(sheet, PSM_SETCURSEL, page, 0);
            PumpMessages(50);
        }
    }});
    m_registry.Set("WallpaperFolder", dir.Path());
    const int gdi = CountGdiObjects(), user = CountUserObjects();
    g_held = HeldWalk{};
    g_held.released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(PatchImport("GetFileInformationByHandleEx", reinterpret_cast<const void*>(HeldListing), &g_held.list));
    ASSERT_TRUE(PatchImport("PostMessageA", reinterpret_cast<const void*>(WatchedPost), &g_held.post));
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchPage, nullptr, GetCurrentThreadId());
    Run({[&](HWND sheet) {
        g_held.page = PageOf(sheet, 2);
        ASSERT_TRUE(WaitFor([] { return g_held.threadId != 0; }));
        g_held.thread = OpenThread(SYNCHRONIZE, FALSE, g_held.threadId);
        // Every page made and shown once: all of it is given back too.
        for (int page : {0, 1, 3})
            SendMessageA(sheet, PSM_SETCURSEL, page, 0);
    }});
    UnhookWindowsHookEx(hook);
    PatchImport("GetFileInformationByHandleEx", reinterpret_cast<const void*>(g_held.list), &g_held.list);
    PatchImport("PostMessageA", reinterpret_cast<const void*>(g_held.post), &g_held.post);
    EXPECT_TRUE(g_held.endedBeforePageGone);
    EXPECT_EQ(0, g_held.callsAfterRelease);   // told to stop, not left to finish
    EXPECT_EQ(0, g_held.postsAfterRelease);   // nothing for the closed page
    CloseHandle(g_held.released);
    CloseHandle(g_held.thread);
    PumpMessages(100);
    EXPECT_EQ(gdi, CountGdiObjects());
    EXPECT_EQ(user, CountUserObjects());
}
