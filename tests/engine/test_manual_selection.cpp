// The manual choice: the open-file dialogs (title, filters, owner), what is
// applied after OK, the conversion question, the messages on failure, and
// that Cancel changes nothing.
#include <gtest/gtest.h>

#include "ChangerFixture.h"
#include "PictureFiles.h"

namespace tpx::test {
namespace {

const int kFileTypeCombo = 0x470;   // cmb1
const int kFileNameCombo = 0x47C;   // cmb13
const int kFileNameEdit = 0x480;    // edt1
const int kReadOnlyBox = 0x410;     // chx1

struct FileDialogSeen {
    std::string caption;
    HWND owner = nullptr;
    std::vector<std::string> filters;
    bool readOnlyBoxShown = false;
};

class ManualSelectionTest : public ChangerFixture {
protected:
    void SetUp() override
    {
        ChangerFixture::SetUp();
        Make("a.bmp");
        Make("page.htm");
        ASSERT_TRUE(WriteJpeg(dir / "p.jpg", 24, 16, [](int, int) { return kBlue; }));
        answerer.SetHandler([this](HWND dialog, const DialogSeen& seen) { return Answer(dialog, seen); });
    }

    void Make(const char* name) { ASSERT_TRUE(WriteFileText(dir / name, "x")); }

    // File dialogs get `choice` typed in (or Cancel when it is empty);
    // message boxes get the next queued button.  The file dialog fills its
    // controls after it is first activated, so it is read and answered a
    // moment later, from a timer its own modal loop runs.
    int Answer(HWND dialog, const DialogSeen& seen)
    {
        if (!GetDlgItem(dialog, kFileTypeCombo)) {
            boxes.push_back(seen);
            const int button = buttons.empty() ? IDOK : buttons.front();
            if (!buttons.empty())
                buttons.erase(buttons.begin());
            return button;
        }
        s_current = this;
        m_fileDialog = dialog;
        SetTimer(nullptr, 0, 100, OnFileDialogTimer);
        return 0;
    }

    static void CALLBACK OnFileDialogTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (s_current)
            s_current->AnswerFileDialog();
    }

    void AnswerFileDialog()
    {
        const HWND dialog = m_fileDialog;
        FileDialogSeen file;
        file.caption = ReadDialog(dialog).caption;
        file.owner = GetWindow(dialog, GW_OWNER);
        const HWND types = GetDlgItem(dialog, kFileTypeCombo);
        const int count = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[256] = "";
            SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            file.filters.push_back(text);
        }
        const HWND readOnly = GetDlgItem(dialog, kReadOnlyBox);
        file.readOnlyBoxShown = readOnly && IsWindowVisible(readOnly);
        fileDialogs.push_back(file);
        if (choice.empty()) {
            PressButton(dialog, IDCANCEL);
            return;
        }
        SetDlgItemTextA(dialog, GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit, choice.c_str());
        PressButton(dialog, IDOK);
    }

    void TearDown() override { s_current = nullptr; }

    static ManualSelectionTest* s_current;
    HWND m_fileDialog = nullptr;
    TempDir dir;
    DialogAnswerer answerer;
    std::string choice;
    std::vector<int> buttons;
    std::vector<FileDialogSeen> fileDialogs;
    std::vector<DialogSeen> boxes;
};

ManualSelectionTest* ManualSelectionTest::s_current = nullptr;

TEST_F(ManualSelectionTest, NormalDesktopDialogAppliesTheChosenBitmap)
{
    choice = dir / "a.bmp";
    changer.SelectWallpaperManually();
    ASSERT_EQ(fileDialogs.size(), 1u);
    EXPECT_EQ(fileDialogs[0].caption, "Select normal desktop wallpaper");
    EXPECT_EQ(fileDialogs[0].filters, std::vector<std::string>({"Picture Files (*.bmp, *.jpg, *.gif)"}));
    EXPECT_EQ(fileDialogs[0].owner, app.mainWnd.GetSafeHwnd());
    EXPECT_FALSE(fileDialogs[0].readOnlyBoxShown);
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetWallpaper(" + choice + ")",
                            "ApplyChanges(1)"}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ManualSelectionTest, ActiveDesktopDialogOffersPagesToo)
{
    fake.activeDesktop = TRUE;
    choice = dir / "page.htm";
    changer.SelectWallpaperManually();
    ASSERT_EQ(fileDialogs.size(), 1u);
    EXPECT_EQ(fileDialogs[0].caption, "Select active desktop wallpaper");
    EXPECT_EQ(fileDialogs[0].filters,
              std::vector<std::string>({"Picture Files (*.bmp, *.jpg, *.gif)", "HTML Files (*.html, *.htm)"}));
    EXPECT_EQ(fileDialogs[0].owner, app.mainWnd.GetSafeHwnd());
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetWallpaper(" + choice + ")",
                            "ApplyChanges(7)"}));
}

TEST_F(ManualSelectionTest, CancelChangesNothing)
{
    for (BOOL on : {FALSE, TRUE}) {
        fake.activeDesktop = on;
        fake.Clear();
        changer.SelectWallpaperManually();
        EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)"}));
    }
    EXPECT_EQ(fileDialogs.size(), 2u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ManualSelectionTest, PictureIsConvertedOnlyWhenTheUserAgrees)
{
    const std::string target = dir / "converted.bmp";
    Set("ConvertedBmpPath", target);
    choice = dir / "p.jpg";

    buttons = {IDNO};
    changer.SelectWallpaperManually();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "This is not a windows bitmap. Convert it so that you can display on your normal desktop?");
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)"}));
    EXPECT_FALSE(FileExists(target));

    buttons = {IDYES};
    fake.Clear();
    changer.SelectWallpaperManually();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetWallpaper(" + target + ")",
                            "ApplyChanges(1)", "GetWallpaper(260)", "SetWallpaper()", "SetWallpaper(" + target + ")",
                            "ApplyChanges(1)"}));
    EXPECT_EQ(ReadBmpInfo(target).width, 24);
}

TEST_F(ManualSelectionTest, FailedChangesAreReportedByDesktop)
{
    choice = dir / "a.bmp";
    fake.failAt = 2;  // SetWallpaper, after two Active Desktop queries
    changer.SelectWallpaperManually();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Tapestrix");
    EXPECT_EQ(boxes[0].text, "Unable to set normal desktop wallpaper");

    fake.activeDesktop = TRUE;
    fake.Clear();
    fake.failAt = 2;
    choice = dir / "page.htm";
    changer.SelectWallpaperManually();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Unable to set active desktop wallpaper");
}

}  // namespace
}  // namespace tpx::test
