// Bitmap conversion with the real FreeImage library, failures never harming
// the bitmap the desktop shows, and the picture loader and its drawing.
#include <filesystem>

#include "EngineTest.h"
#include "engine/Conversion.h"
#include "engine/Picture.h"
#include "framework/Handles.h"

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

TEST_F(Conversion, OnlyPicturesAreConvertedWhenSwitchedOnOrAgreedAndFailuresKeepTheOldBitmap)
{
    registry.Set("ConvertToBmp", 1);  // and agreed: still only a picture is converted
    EXPECT_EQ(Convert("Sea.BMP", TRUE), Result(CONVERT_IS_BITMAP, dir / "Sea.BMP"));
    for (const char* name : {"sea.jpeg", "page.htm", "jpg"})
        EXPECT_EQ(Convert(name, TRUE), Result(CONVERT_NOT_USABLE, dir / name));
    EXPECT_FALSE(IsConversionAsked((dir / "hill.gif").c_str())) << "switched on: nothing to ask";
    registry.Set("ConvertToBmp", 0);
    EXPECT_EQ(Convert("hill.gif"), Result(CONVERT_NOT_USABLE, dir / "hill.gif"));
    EXPECT_TRUE(answerer.Seen().empty() && !FileExists(target));
    EXPECT_FALSE(IsConversionAsked((dir / "Sea.BMP").c_str()));
    EXPECT_TRUE(IsConversionAsked((dir / "hill.gif").c_str()));
    // Agreed or switched on, each writes the one target at the picture's full size.
    EXPECT_EQ(Convert("hill.gif", TRUE), Result(CONVERT_DONE, target));
    ExpectQuarters(target, 40, 30);
    registry.Set("ConvertToBmp", 1);
    EXPECT_EQ(Convert("sea.jpg"), Result(CONVERT_DONE, target));
    ExpectQuarters(target, 64, 48);
    // The question and its answers: the manual choice in test_changer.cpp.

    // No target, and one another program holds open (unreadable sources are the picture corpus's): each
    // fails and leaves the bitmap and its record.
    const std::vector<uint8_t> old = ReadFileBytes(target);
    registry.Set("ConvertedBmpPath", "");
    EXPECT_EQ(Convert("hill.gif").first, CONVERT_NOT_USABLE);
    registry.Set("ConvertedBmpPath", target);
    const HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Convert("hill.gif").first, CONVERT_NOT_USABLE);
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"), dir / "sea.jpg");
    EXPECT_EQ(Files(), 3) << "a half-written bitmap was left behind";
}

TEST_F(Conversion, PictureReportsItsSizeSavesARealBitmapDrawsAndRefusesBadFiles)
{
    ASSERT_TRUE(WriteBmp(dir / "p.bmp", 200, 100, [](int x, int y) { return Quarters(200, 100, x, y); }));
    // A grey canvas; the preview draws each picture into a square at (10, 20).
    const HDC screen = GetDC(nullptr);
    CDCHandle memory(CreateCompatibleDC(screen));
    CBitmapHandle canvas(CreateCompatibleBitmap(screen, 100, 100));
    ReleaseDC(nullptr, screen);
    CSelectObjectGuard select(memory.Get(), canvas.Get());
    CDC dc(memory.Get());
    const RECT all = {0, 0, 100, 100}, rect = {10, 20, 70, 80};
    const COLORREF grey = RGB(128, 128, 128);
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
        // The whole picture, the right way up, over exactly the rectangle.
        FillRect(memory.Get(), &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        EXPECT_TRUE(picture.Draw(&dc, rect) && !picture.Draw(nullptr, rect));
        const std::tuple<int, int, COLORREF> pixels[] = {{10, 20, kRed}, {69, 79, kYellow}, {9, 20, grey},
                                                         {10, 19, grey}, {70, 79, grey},    {69, 80, grey}};
        for (const auto& [x, y, colour] : pixels)
            EXPECT_TRUE(ColourNear(GetPixel(memory.Get(), x, y), colour, 24)) << x << "," << y;
    }
    EXPECT_FALSE(CPicture().Draw(&dc, rect));

    // A sparse file of 3 GB, more than the loader can read into memory, and
    // junk: each refused, the first with the loader's message, the only one
    // of the test.  (Missing files, folders and cut pictures are the picture
    // corpus's.)
    const HANDLE huge = CreateFileA((dir / "huge.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(huge, size, nullptr, FILE_BEGIN) && SetEndOfFile(huge));
    CloseHandle(huge);
    ASSERT_TRUE(WriteFileText(dir / "junk.jpg", std::string(3000, 'Z')));
    CPicture picture;
    for (const char* name : {"huge.jpg", "junk.jpg"}) {
        EXPECT_FALSE(picture.Load((dir / name).c_str()) || picture.m_pPicture) << name;
        EXPECT_EQ(picture.m_nSize, name[0] == 'j' ? 3000 : 0) << name;
    }
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Can not allocate enough memory\t");
    EXPECT_EQ(answerer.Seen()[0].caption, "CPicture Error");
}

}  // namespace
}  // namespace tpx::test
