// Bitmap conversion with the real FreeImage library: which names are
// converted, refused or passed through, the question box, the one target
// file and "BmpConvertedFrom", and that a failed conversion never harms the
// bitmap the desktop is showing.
#include <gtest/gtest.h>

#include "EngineTestEnv.h"
#include "PictureFiles.h"
#include "TestSupport.h"
#include "engine/Conversion.h"

namespace tpx::test {
namespace {

const char kQuestion[] = "This is not a windows bitmap. Convert it so that you can display on your normal desktop?";

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        target = dir / "converted.bmp";
        registry.Set("ConvertedBmpPath", target);
        ASSERT_TRUE(WriteJpeg(dir / "sea.jpg", 64, 48, [](int x, int y) { return Quadrants(64, 48, x, y); }));
        ASSERT_TRUE(WriteGif(dir / "hill.gif", 40, 30, [](int x, int y) { return Quadrants(40, 30, x, y); }));
    }

    std::optional<std::string> ConvertedFrom() const { return GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"); }

    // The target holds the old bitmap, byte for byte.
    void PutOldBitmap()
    {
        ASSERT_TRUE(WriteSolidBmp(target, 8, 8, RGB(1, 2, 3)));
        oldBitmap = ReadFileBytes(target);
    }
    void ExpectOldBitmapIntact() const
    {
        EXPECT_EQ(ReadFileBytes(target), oldBitmap) << "the bitmap the desktop shows was changed";
    }
    // Nothing but the given files is left in the folder (no half-written
    // replacement).
    void ExpectOnlyFiles(std::vector<std::string> names) const
    {
        std::vector<std::string> found;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir / "*").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                found.push_back(data.cFileName);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(found, names);
    }

    EngineRegistryScope registry;
    TestApplication app;
    TempDir dir;
    std::string target;
    std::vector<uint8_t> oldBitmap;
};

TEST_F(ConversionTest, BitmapNamesPassWithoutReadingAnySetting)
{
    registry.Set("ConvertToBmp", 1);
    for (const char* name : {"Sea.BMP", "sea.bmp", "x.bMp"}) {
        CString path = (dir / name).c_str();
        CString asked = path;
        RegistryOpenCounter opens;
        ASSERT_TRUE(opens.Installed());
        EXPECT_EQ(ConvertToBitmap(path), CONVERT_IS_BITMAP) << name;
        EXPECT_EQ(ConvertToBitmapWithPrompt(asked), CONVERT_IS_BITMAP) << name;
        EXPECT_EQ(opens.Count(), 0) << name;
        EXPECT_STREQ(path, (dir / name).c_str());
        EXPECT_STREQ(asked, (dir / name).c_str());
    }
    EXPECT_FALSE(FileExists(target));
}

TEST_F(ConversionTest, OtherEndingsAreRefusedWithoutAQuestion)
{
    registry.Set("ConvertToBmp", 0);
    ASSERT_TRUE(WriteFileBytes(dir / "sea.jpeg", ReadFileBytes(dir / "sea.jpg").data(), ReadFileBytes(dir / "sea.jpg").size()));
    DialogAnswerer answerer(IDYES);
    for (const char* name : {"sea.jpeg", "sea.png", "page.htm", "jpg", "sea.jpg.txt"}) {
        CString path = (dir / name).c_str();
        EXPECT_EQ(ConvertToBitmap(path), CONVERT_NOT_USABLE) << name;
        EXPECT_EQ(ConvertToBitmapWithPrompt(path), CONVERT_NOT_USABLE) << name;
        EXPECT_STREQ(path, (dir / name).c_str());
    }
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_FALSE(FileExists(target));
}

TEST_F(ConversionTest, SilentConversionNeedsConvertToBmp)
{
    DialogAnswerer answerer(IDYES);
    for (bool absent : {true, false}) {
        if (!absent)
            registry.Set("ConvertToBmp", 0);
        CString path = (dir / "hill.gif").c_str();
        EXPECT_EQ(ConvertToBitmap(path), CONVERT_NOT_USABLE);
        EXPECT_STREQ(path, (dir / "hill.gif").c_str());
    }
    EXPECT_TRUE(answerer.Seen().empty()) << "the silent function asked";
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(ConvertedFrom());
}

TEST_F(ConversionTest, AskingConversionAsksWhenConvertToBmpIsOff)
{
    DialogAnswerer answerer;
    HWND owner = nullptr;
    bool hasYesNo = false;
    std::vector<int> answers = {IDNO, IDYES, IDYES};
    answerer.SetHandler([&](HWND box, const DialogSeen&) {
        owner = GetWindow(box, GW_OWNER);
        hasYesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK);
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });

    const std::string source = dir / "hill.gif";
    CString path = source.c_str();
    EXPECT_EQ(ConvertToBitmapWithPrompt(path), CONVERT_NOT_USABLE) << "answered No";
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Tapestrix");
    EXPECT_EQ(answerer.Seen()[0].text, kQuestion);
    EXPECT_TRUE(hasYesNo);
    EXPECT_EQ(owner, app.mainWnd.GetSafeHwnd());
    EXPECT_STREQ(path, source.c_str());
    EXPECT_FALSE(FileExists(target));
    EXPECT_FALSE(ConvertedFrom());

    // The answer is not remembered: the next file asks again.
    EXPECT_EQ(ConvertToBitmapWithPrompt(path), CONVERT_DONE) << "answered Yes";
    EXPECT_EQ(answerer.Seen().size(), 2u);
    EXPECT_STREQ(path, target.c_str());
    EXPECT_EQ(ConvertedFrom(), source);
    const BitmapInfo info = ReadBmpInfo(target);
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.width, 40);
    EXPECT_EQ(info.height, 30);

    // "ConvertToBmp" on: no question.
    registry.Set("ConvertToBmp", 1);
    path = (dir / "sea.jpg").c_str();
    EXPECT_EQ(ConvertToBitmapWithPrompt(path), CONVERT_DONE);
    EXPECT_EQ(answerer.Seen().size(), 2u);
}

TEST_F(ConversionTest, JpegBecomesTheTargetBitmapWithItsPixels)
{
    registry.Set("ConvertToBmp", 1);
    const std::string source = dir / "sea.jpg";
    CString path = source.c_str();
    EXPECT_EQ(ConvertToBitmap(path), CONVERT_DONE);
    EXPECT_STREQ(path, target.c_str());
    EXPECT_EQ(ConvertedFrom(), source);

    const std::vector<uint8_t> bytes = ReadFileBytes(target);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    const BitmapInfo info = ReadBmpInfo(target);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 8, 8), kRed, 40));
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 56, 8), kBlue, 40));
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 8, 40), kGreen, 40));
    EXPECT_TRUE(ColourNear(ReadBmpPixel(target, 56, 40), kYellow, 40));
    ExpectOnlyFiles({"converted.bmp", "hill.gif", "sea.jpg"});
}

TEST_F(ConversionTest, EveryConversionWritesTheSameTargetAndRecordsItsSource)
{
    registry.Set("ConvertToBmp", 1);
    CString first = (dir / "sea.jpg").c_str();
    CString second = (dir / "hill.gif").c_str();
    EXPECT_EQ(ConvertToBitmap(first), CONVERT_DONE);
    EXPECT_EQ(ConvertToBitmap(second), CONVERT_DONE);
    EXPECT_STREQ(first, target.c_str());
    EXPECT_STREQ(second, target.c_str());
    EXPECT_EQ(ConvertedFrom(), dir / "hill.gif");
    const BitmapInfo info = ReadBmpInfo(target);
    EXPECT_EQ(info.width, 40) << "the target holds the second picture";
    EXPECT_EQ(info.height, 30);

    // The last converted picture is converted again when chosen again.
    ASSERT_TRUE(DeleteFileA(target.c_str()));
    CString again = (dir / "hill.gif").c_str();
    EXPECT_EQ(ConvertToBitmap(again), CONVERT_DONE);
    EXPECT_TRUE(FileExists(target));
}

TEST_F(ConversionTest, UnusableTargetRefusesAndKeepsTheOldBitmap)
{
    registry.Set("ConvertToBmp", 1);
    registry.Set("BmpConvertedFrom", std::string("C:\\earlier.jpg"));
    PutOldBitmap();

    // Empty, in a folder that does not exist, a folder itself.
    MakeDirs(dir / "folder.bmp");
    for (const std::string& unusable : {std::string(), dir / "missing\\out.bmp", dir / "folder.bmp"}) {
        SCOPED_TRACE(unusable);
        registry.Set("ConvertedBmpPath", unusable);
        CString path = (dir / "sea.jpg").c_str();
        EXPECT_EQ(ConvertToBitmap(path), CONVERT_NOT_USABLE);
        EXPECT_STREQ(path, (dir / "sea.jpg").c_str());
        EXPECT_EQ(ConvertedFrom(), "C:\\earlier.jpg");
    }
    ExpectOldBitmapIntact();

    // A target that another program holds open without sharing: the new
    // bitmap is written beside it but cannot replace it, and nothing of it
    // stays behind.
    registry.Set("ConvertedBmpPath", target);
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CString path = (dir / "sea.jpg").c_str();
    EXPECT_EQ(ConvertToBitmap(path), CONVERT_NOT_USABLE);
    CloseHandle(held);
    ExpectOldBitmapIntact();
    EXPECT_EQ(ConvertedFrom(), "C:\\earlier.jpg");
    ExpectOnlyFiles({"converted.bmp", "hill.gif", "sea.jpg"});
}

TEST_F(ConversionTest, BrokenPicturesAreRefusedAndKeepTheOldBitmap)
{
    registry.Set("ConvertToBmp", 1);
    PutOldBitmap();
    std::string garbage(5000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) % 251);
    ASSERT_TRUE(WriteFileText(dir / "garbage.jpg", garbage));
    ASSERT_TRUE(WriteFileText(dir / "garbage.gif", garbage));
    ASSERT_TRUE(WriteFileText(dir / "empty.jpg", ""));
    // JPEG start marker, then nothing usable.
    ASSERT_TRUE(WriteFileText(dir / "header.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + garbage));

    for (const char* name : {"garbage.jpg", "garbage.gif", "empty.jpg", "header.jpg", "missing.jpg"}) {
        SCOPED_TRACE(name);
        CString path = (dir / name).c_str();
        EXPECT_EQ(ConvertToBitmap(path), CONVERT_NOT_USABLE);
        EXPECT_STREQ(path, (dir / name).c_str());
    }
    ExpectOldBitmapIntact();
    EXPECT_FALSE(ConvertedFrom());
    ExpectOnlyFiles({"converted.bmp", "empty.jpg", "garbage.gif", "garbage.jpg", "header.jpg", "hill.gif", "sea.jpg"});
}

TEST_F(ConversionTest, TruncatedJpegConvertsAtItsFullSize)
{
    registry.Set("ConvertToBmp", 1);
    ASSERT_TRUE(WriteJpeg(dir / "big.jpg", 320, 240, [](int x, int y) {
        return RGB((x * 255) / 320, (y * 255) / 240, ((x + y) * 3) & 255);
    }));
    std::vector<uint8_t> bytes = ReadFileBytes(dir / "big.jpg");
    ASSERT_GT(bytes.size(), 2000u);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(WriteFileBytes(dir / "cut.jpg", bytes.data(), bytes.size()));

    CString path = (dir / "cut.jpg").c_str();
    EXPECT_EQ(ConvertToBitmap(path), CONVERT_DONE);
    const BitmapInfo info = ReadBmpInfo(target);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
}

TEST_F(ConversionTest, FileEndingIsJudgedByTheLastFourCharacters)
{
    EXPECT_TRUE(HasFileEnding("C:\\a\\b.BMP", ".bmp"));
    EXPECT_TRUE(HasFileEnding(".gif", ".gif"));
    EXPECT_FALSE(HasFileEnding("gif", ".gif"));
    EXPECT_FALSE(HasFileEnding("C:\\a\\b.jpeg", ".jpg"));
    EXPECT_FALSE(HasFileEnding("", ".bmp"));
}

}  // namespace
}  // namespace tpx::test
