// bench_browser: the Wallpaper Browser page on a folder of 10 000 files.
//
//   1. Opening the settings sheet on that folder until the list is complete
//      (its count shows), against a bare loop of the same work the list
//      needs: one shell icon look-up, one image-list copy and one list
//      insertion with its second column per file, into a visible list view
//      of the same size, repainted once at the end.  Target: at most 1.3
//      times the bare loop.  Also: when the sheet appears (target: within
//      1 s), and the process's GDI and USER object counts before opening
//      and after closing (target: equal).
//   2. A 3840 x 2160 JPEG: what loading and drawing its thumbnail costs
//      (CPicture), and how long the page blocks when that picture becomes
//      selected (target: far below the load, the load waiting until the
//      selection settles).
//
// One run of each side after a warm-up sheet (each takes minutes under
// Wine, most of it the shell's icon look-ups); "thumbnail" as the argument
// runs only the second measurement.  The program's registry values it needs
// are set for the run and put back afterwards; the folders are made under
// %TEMP% and removed.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <FreeImage.h>  // after windows.h

#include "bench/BenchSupport.h"
#include "GuiCounts.h"
#include "app/TapestrixDlg.h"
#include "engine/Picture.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"
#include "res/resource.h"
#include "settings/Settings.h"

CWallpaperChanger theWallpaperChanger;

namespace {

const int kFiles = 10000;
const char* const kEndings[] = {".bmp", ".jpg", ".gif", ".txt", ".html", ".dat", ".ini", ".log"};

std::string Text(HWND hwnd)
{
    char text[256] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// 10 folders of 1 000 files of mixed kinds (empty), and the large JPEG.
std::string MakeFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "tpx_bench_browser";
    RemoveTree(root);
    RemoveTree(root + "_thumb");
    CreateDirectoryA(root.c_str(), nullptr);
    int made = 0;
    for (int folder = 0; made < kFiles; ++folder) {
        const std::string sub = root + "\\set" + std::to_string(folder);
        CreateDirectoryA(sub.c_str(), nullptr);
        for (int i = 0; i < 1000 && made < kFiles; ++i, ++made) {
            const std::string path = sub + "\\file" + std::to_string(i) + kEndings[i % 8];
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(file);
        }
    }
    // A 3840 x 2160 photograph-like JPEG (a gradient with noise).
    FIBITMAP* dib = FreeImage_Allocate(3840, 2160, 24);
    for (int y = 0; y < 2160; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib, y);
        for (int x = 0; x < 3840; ++x) {
            line[3 * x] = static_cast<BYTE>(x / 15 + (rand() & 15));
            line[3 * x + 1] = static_cast<BYTE>(y / 9 + (rand() & 15));
            line[3 * x + 2] = static_cast<BYTE>((x + y) / 24);
        }
    }
    CreateDirectoryA((root + "_thumb").c_str(), nullptr);
    FreeImage_Save(FIF_JPEG, dib, (root + "_thumb\\big.jpg").c_str(), JPEG_QUALITYSUPERB);
    FreeImage_Unload(dib);
    return root;
}

// The files below `folder`, as (folder, name), depth first.
void List(const std::string& folder, std::vector<std::pair<std::string, std::string>>* files)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            List(folder + "\\" + name, files);
        else
            files->push_back({folder, name});
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// The least the list needs: the same look-ups, copies and insertions into a
// visible list view the size of the page's, one repaint at the end.
double BareLoop(const std::vector<std::pair<std::string, std::string>>& files)
{
    const double start = Now();
    HWND frame = CreateWindowExA(0, "STATIC", "bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 480, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(WS_EX_STATICEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHAREIMAGELISTS, 0, 0, 376, 107,
                                frame, nullptr, nullptr, nullptr);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 120;
    column.pszText = const_cast<char*>("File Name");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.pszText = const_cast<char*>("File Location");
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR, 0, 1);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    ImageList_SetImageCount(images, static_cast<UINT>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = files[i].first + "\\" + files[i].second;
        SHFILEINFOA info{};
        SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
        const int image = ImageList_ReplaceIcon(images, static_cast<int>(i), info.hIcon);
        DestroyIcon(info.hIcon);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(files[i].second.c_str());
        item.iImage = image;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMA sub{};
        sub.iSubItem = 1;
        sub.pszText = const_cast<char*>(files[i].first.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, i, reinterpret_cast<LPARAM>(&sub));
    }
    UpdateWindow(list);
    const double elapsed = Now() - start;
    DestroyWindow(frame);
    ImageList_Destroy(images);
    Pump();
    return elapsed;
}

struct SheetRun {
    double start = 0, shown = 0, complete = 0;
    double selectBlock = 0, thumbnail = 0;
    bool selectBig = false;
    HWND sheet = nullptr;
} g_run;

LRESULT CALLBACK WatchShow(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_SHOWWINDOW && message->wParam && !g_run.shown &&
        Text(message->hwnd).rfind("Tapestrix - ", 0) == 0) {
        g_run.shown = Now();
        g_run.sheet = message->hwnd;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_run.sheet)
        return;
    const HWND page = reinterpret_cast<HWND>(SendMessageA(g_run.sheet, PSM_INDEXTOHWND, 2, 0));
    if (!g_run.complete) {
        if (!Text(GetDlgItem(page, IDC_FILE_COUNT)).empty())
            g_run.complete = Now();
        else
            return;
    }
    const HWND list = GetDlgItem(page, IDC_FILE_LIST);
    if (g_run.selectBig && !g_run.selectBlock) {
        LVFINDINFOA find{};
        find.flags = LVFI_STRING;
        find.psz = "big.jpg";
        const int item = static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                                       reinterpret_cast<LPARAM>(&find)));
        const double start = Now();
        ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        g_run.selectBlock = Now() - start;
        g_run.thumbnail = start;
        return;
    }
    if (g_run.selectBig && g_run.thumbnail > 0 && Text(GetDlgItem(page, IDC_PREVIEW_SIZE)) == "3840 x 2160") {
        g_run.thumbnail = Now() - g_run.thumbnail;
        g_run.thumbnail = -g_run.thumbnail;   // done (negative: measured)
    }
    if (!g_run.selectBig || g_run.thumbnail < 0)
        PostMessageA(g_run.sheet, WM_CLOSE, 0, 0);
}

SheetRun OpenSheet(CTapestrixDlg& dlg, bool selectBig)
{
    g_run = SheetRun{};
    g_run.selectBig = selectBig;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchShow, nullptr, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Poll);
    g_run.start = Now();
    SendMessageA(dlg.GetSafeHwnd(), WM_COMMAND, ID_OPEN_SETTINGS, 0);
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(hook);
    Pump();
    return g_run;
}

}  // namespace

int main(int argc, char** argv)
{
    // "thumbnail": only the second measurement (the first takes minutes).
    const bool thumbnailOnly = argc > 1 && std::string(argv[1]) == "thumbnail";
    InitCommonControls();
    CoInitialize(nullptr);
    FreeImage_Initialise(TRUE);
    const std::string folder = MakeFolder();
    std::vector<std::pair<std::string, std::string>> files;
    List(folder, &files);
    std::printf("folder: %zu files\n", files.size());

    CString oldFolder;
    const BOOL hadFolder = ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, &oldFolder);
    DWORD oldActive = 0;
    const BOOL hadPage = ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, &oldActive);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, TPX_KEY_APP, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, folder.c_str());
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, 2);

    CWinApp app("Tapestrix");
    CTapestrixDlg dlg;
    dlg.Create(IDD_TAPESTRIX_DIALOG);
    app.m_pMainWnd = &dlg;
    dlg.InitTrayIconData();
    theWallpaperChanger.Initialize();

    int gdiBefore = 0, userBefore = 0, gdiAfter = 0, userAfter = 0;
    std::vector<double> bare, sheet, shown;
    if (!thumbnailOnly) {
        OpenSheet(dlg, false);              // warm-up: the shell's icon caches and the sheet's own
        // Each side takes minutes under Wine (the shell's icon look-up is
        // most of it): one run of each after the warm-up.
        bare.push_back(BareLoop(files));
        gdiBefore = tpx::test::CountGdiObjects();
        userBefore = tpx::test::CountUserObjects();
        const SheetRun run = OpenSheet(dlg, false);
        gdiAfter = tpx::test::CountGdiObjects();
        userAfter = tpx::test::CountUserObjects();
        sheet.push_back(run.complete - run.start);
        shown.push_back(run.shown - run.start);
    }
    if (!thumbnailOnly) std::printf("1. list of %zu files: bare loop %.0f ms, sheet open to complete list %.0f ms, ratio %.2f "
                "(target <= 1.30)\n",
                files.size(), bare[0], sheet[0], sheet[0] / bare[0]);
    if (!thumbnailOnly) std::printf("   sheet shown after %.0f ms (target <= 1000)\n", shown[0]);
    if (!thumbnailOnly) std::printf("   GDI objects %d before, %d after; USER objects %d before, %d after (target: equal)\n", gdiBefore,
                gdiAfter, userBefore, userAfter);

    // The thumbnail of a 3840 x 2160 JPEG.
    {
        const double start = Now();
        CPicture picture;
        picture.Load((folder + "_thumb\\big.jpg").c_str());
        const double loaded = Now();
        HDC screen = GetDC(nullptr);
        CDC dc(screen);
        RECT rect{10, 10, 139, 117};
        picture.Draw(&dc, rect);
        ReleaseDC(nullptr, screen);
        std::printf("2. 3840 x 2160 JPEG: load %.0f ms, draw into the thumbnail %.0f ms\n", loaded - start,
                    Now() - loaded);
    }
    WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, (folder + "_thumb").c_str());
    const SheetRun run = OpenSheet(dlg, true);
    std::printf("   the page blocks %.1f ms when it becomes selected; thumbnail and size shown after %.0f ms "
                "(settling included)\n",
                run.selectBlock, -run.thumbnail);

    dlg.DestroyWindow();
    app.m_pMainWnd = nullptr;
    if (hadFolder)
        WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, oldFolder);
    else
        RegDeleteValueA(key, TPX_VAL_WALLPAPER_FOLDER);
    if (hadPage)
        WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, oldActive);
    else
        RegDeleteValueA(key, TPX_VAL_CURRENT_ACTIVE_PAGE);
    RegCloseKey(key);
    RemoveTree(folder);
    RemoveTree(folder + "_thumb");
    return 0;
}
