// Bitmap conversion with the real FreeImage library, failures never harming
// the bitmap the desktop shows, and the picture loader.
#include <algorithm>
#include <filesystem>

#include "EngineTest.h"
#include "engine/BitmapCheck.h"
#include "engine/Conversion.h"
#include "engine/Picture.h"
#include "framework/File.h"

namespace tpx::test {
namespace {

using Result = std::pair<int, std::string>;  // a conversion's result and the path it leaves

class Conversion : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        registry.Set("ConvertedBmpPath", target);
        ASSERT_TRUE(WritePicture(dir / "sea.jpg", 64, 48) && WritePicture(dir / "hill.gif", 40, 30));
    }
    Result Convert(const std::string& name, BOOL agreed = FALSE) const
    {
        CString path = (dir / name).c_str();
        const int result = ConvertToBitmap(path, agreed);
        return {result, static_cast<LPCSTR>(path)};
    }
    // How many files the test folder holds: a half-written bitmap left behind would count.
    int Files() const { return int(std::distance(std::filesystem::directory_iterator(dir.Path()), {})); }
    static void ExpectQuarters(const std::string& bitmap, int w, int h)
    {
        const BitmapInfo info = ReadBmpInfo(bitmap);
        EXPECT_TRUE(info.ok && info.width == w && info.height == h) << info.width << " x " << info.height;
        EXPECT_TRUE(ColourNear(ReadBmpPixel(bitmap, w / 4, h / 4), kRed, 40));  // the right way up
        EXPECT_TRUE(ColourNear(ReadBmpPixel(bitmap, 3 * w / 4, 3 * h / 4), kYellow, 40));
    }

    std::string target = dir / "converted.bmp";
    DialogAnswerer answerer;
};

TEST_F(Conversion, OnlyPicturesAreConvertedAndOnlyWhenSwitchedOnOrAgreed)
{
    registry.Set("ConvertToBmp", 1);
    for (const BOOL convert : {FALSE, TRUE}) {
        g_registryOpens = 0;
        EXPECT_EQ(Convert("Sea.BMP", convert), Result(CONVERT_IS_BITMAP, dir / "Sea.BMP"));
        EXPECT_EQ(g_registryOpens, 0) << "a bitmap needs no setting";
        for (const char* name : {"sea.jpeg", "page.htm", "jpg"})
            EXPECT_EQ(Convert(name, convert), Result(CONVERT_NOT_USABLE, dir / name));
    }
    EXPECT_FALSE(IsConversionAsked((dir / "hill.gif").c_str())) << "switched on: nothing to ask";
    registry.Set("ConvertToBmp", 0);
    EXPECT_EQ(Convert("hill.gif"), Result(CONVERT_NOT_USABLE, dir / "hill.gif"));
    EXPECT_TRUE(answerer.Seen().empty() && !FileExists(target));
    for (const char* name : {"Sea.BMP", "page.htm"})
        EXPECT_FALSE(IsConversionAsked((dir / name).c_str())) << name;
    EXPECT_TRUE(IsConversionAsked((dir / "hill.gif").c_str()));
    EXPECT_EQ(Convert("hill.gif", TRUE), Result(CONVERT_DONE, target));
    // The question and its answers: the manual choice in test_changer.cpp.
}

TEST_F(Conversion, EveryConversionWritesTheOneTargetAtTheFullSize)
{
    registry.Set("ConvertToBmp", 1);
    EXPECT_EQ(Convert("sea.jpg"), Result(CONVERT_DONE, target));
    ExpectQuarters(target, 64, 48);
    EXPECT_EQ(Convert("hill.gif"), Result(CONVERT_DONE, target));
    ExpectQuarters(target, 40, 30);
    EXPECT_EQ(Setting("BmpConvertedFrom"), dir / "hill.gif");
    EXPECT_EQ(Files(), 3);
}

TEST_F(Conversion, FailedConversionsKeepTheOldBitmap)
{
    registry.Set("ConvertToBmp", 1);
    registry.Set("BmpConvertedFrom", std::string("C:\\earlier.jpg"));
    ASSERT_TRUE(WriteSolidBmp(target, 8, 8, RGB(1, 2, 3)));
    const std::vector<uint8_t> old = ReadFileBytes(target);
    ASSERT_TRUE(WriteFileText(dir / "garbage.jpg", std::string(5000, 'Z')) && WriteFileText(dir / "empty.jpg", ""));
    ASSERT_TRUE(WriteFileText(dir / "header.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(5000, 'Z')));
    for (const char* name : {"garbage.jpg", "empty.jpg", "header.jpg", "missing.jpg"})
        EXPECT_EQ(Convert(name), Result(CONVERT_NOT_USABLE, dir / name));

    // No target, one in a missing folder, one another program holds open.
    for (const std::string& unusable : {std::string(), dir / "missing\\out.bmp"}) {
        registry.Set("ConvertedBmpPath", unusable);
        EXPECT_EQ(Convert("sea.jpg").first, CONVERT_NOT_USABLE) << unusable;
    }
    registry.Set("ConvertedBmpPath", target);
    const HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Convert("sea.jpg").first, CONVERT_NOT_USABLE);
    CloseHandle(held);

    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(Setting("BmpConvertedFrom"), "C:\\earlier.jpg");
    EXPECT_EQ(Files(), 6);
}

TEST_F(Conversion, PictureReportsItsSizeSavesARealBitmapAndRefusesBadFiles)
{
    ASSERT_TRUE(WriteBmp(dir / "p.bmp", 200, 100, [](int x, int y) { return Quarters(200, 100, x, y); }));
    for (const auto& [name, w, h] : {std::tuple{"p.bmp", 200, 100}, {"sea.jpg", 64, 48}, {"hill.gif", 40, 30}}) {
        SCOPED_TRACE(name);
        CPicture picture;
        ASSERT_TRUE(picture.Load((dir / name).c_str()));
        EXPECT_EQ(picture.m_nWidth, w);
        EXPECT_EQ(picture.m_nHeight, h);
        EXPECT_EQ(picture.m_nSize, static_cast<int>(ReadFileBytes(dir / name).size()));
        // The picture service alone would write the JPEG or GIF bytes again.
        EXPECT_TRUE(picture.SaveToFile((dir / "out.bmp").c_str()));
        ExpectQuarters(dir / "out.bmp", w, h);
    }
    EXPECT_TRUE(answerer.Seen().empty());

    char fileError[256];
    CFileException(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, (dir / "missing.jpg").c_str())
        .GetErrorMessage(fileError, sizeof fileError - 1);
    // A sparse file of 3 GB: more than the loader can read into memory.
    const HANDLE huge = CreateFileA((dir / "huge.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(huge, size, nullptr, FILE_BEGIN) && SetEndOfFile(huge));
    CloseHandle(huge);
    ASSERT_TRUE(WriteFileText(dir / "empty.jpg", "") && WriteFileText(dir / "junk.jpg", std::string(3000, 'Z')));
    CPicture picture;
    for (const char* name : {"missing.jpg", "huge.jpg", "empty.jpg", "junk.jpg"}) {
        EXPECT_FALSE(picture.Load((dir / name).c_str()) || picture.m_pPicture) << name;
        EXPECT_EQ(picture.m_nSize, name[0] == 'j' ? 3000 : 0) << name;
    }
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].text, fileError);
    EXPECT_EQ(answerer.Seen()[1].text, "Can not allocate enough memory\t");
    for (const DialogSeen& seen : answerer.Seen())
        EXPECT_EQ(seen.caption, "CPicture Error");
}

TEST_F(Conversion, DamagedBitmapsAreJudgedBeforeAnyLoaderAndRefusedSilently)
{
    std::vector<BitmapCase> cases = DamagedBitmaps();
    for (const BitmapCase& c : BitmapHeaderCases())
        cases.push_back(c);
    const std::string path = dir / "case.bmp";
    for (const BitmapCase& c : cases) {
        SCOPED_TRACE(c.name);
        const BitmapVerdict expected = c.sound ? BITMAP_SOUND : BITMAP_DAMAGED;
        ASSERT_TRUE(WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(CheckBitmapBytes(c.bytes.data(), c.bytes.size()), expected);
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        EXPECT_EQ(CheckBitmapFile(wide), expected);
        CPicture picture;
        EXPECT_EQ(picture.Load(path.c_str()), c.sound ? TRUE : FALSE);
        EXPECT_EQ(picture.m_pPicture != nullptr, c.sound);
        // What passes is what the desktop's own loader reads.
        if (c.sound) {
            EXPECT_TRUE(ReadBmpInfo(path).ok);
        }
        CString same = path.c_str();
        EXPECT_EQ(ConvertToBitmap(same), CONVERT_IS_BITMAP);
    }
    EXPECT_EQ(CheckBitmapBytes("GIF89a", 6), BITMAP_NOT_A_BITMAP);
    EXPECT_EQ(CheckBitmapFile(L"C:\\no such folder\\a.bmp"), BITMAP_NOT_A_BITMAP);
    EXPECT_TRUE(answerer.Seen().empty()) << answerer.Seen()[0].text;
}

// JPEG and GIF with the same kinds of damage go through FreeImage, and the
// picture loader reads them: no fault, and a bitmap only when the picture
// could be read.
TEST_F(Conversion, DamagedJpegsAndGifsConvertOrAreRefusedWithoutFault)
{
    registry.Set("ConvertToBmp", 1);
    ASSERT_TRUE(WritePicture(dir / "big.jpg", 320, 200) && WritePicture(dir / "big.gif", 320, 200));
    const std::vector<BitmapCase> pictures =
        DamagedJpegsAndGifs(ReadFileBytes(dir / "big.jpg"), ReadFileBytes(dir / "big.gif"));
    const struct {
        int converted;  // the conversion's result
        BOOL loaded;    // the picture loader's
    } expected[] = {
        // libjpeg pads what is missing; the picture service refuses it.
        {CONVERT_DONE, FALSE},        // cut.jpg
        {CONVERT_DONE, FALSE},        // half.jpg
        {CONVERT_NOT_USABLE, FALSE},  // huge.jpg
        {CONVERT_NOT_USABLE, FALSE},  // zero.jpg
        {CONVERT_NOT_USABLE, FALSE},  // cut.gif
        {CONVERT_NOT_USABLE, FALSE},  // half.gif
        {CONVERT_DONE, TRUE},         // screen.gif: both read the image, not the screen it claims
        {CONVERT_NOT_USABLE, FALSE},  // huge.gif
        {CONVERT_DONE, TRUE},         // outside.gif
    };
    ASSERT_EQ(pictures.size(), std::size(expected));
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::string& name = pictures[i].name;
        const auto& c = expected[i];
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteFileBytes(dir / name, pictures[i].bytes.data(), pictures[i].bytes.size()));
        const DWORD start = GetTickCount();
        EXPECT_EQ(Convert(name).first, c.converted);
        if (c.converted == CONVERT_DONE) {
            EXPECT_TRUE(ReadBmpInfo(target).ok);
        }
        CPicture picture;
        EXPECT_EQ(picture.Load((dir / name).c_str()), c.loaded);
        // The fallback converter on its own, as with a library that knows neither format.
        if (c.loaded) {
            EXPECT_TRUE(picture.SaveToFile((dir / "fallback.bmp").c_str()) && ReadBmpInfo(dir / "fallback.bmp").ok);
        }
        EXPECT_GT(5000u, GetTickCount() - start) << "an announced size was believed";
    }
    EXPECT_TRUE(answerer.Seen().empty());
}

}  // namespace
}  // namespace tpx::test
