// The picture loader: sizes at 96 per inch, its messages (caption, text,
// owner), refusing empty, broken and huge files without a crash, drawing
// stretched and the right way up, and saving a real bitmap file.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include "EngineTestEnv.h"
#include "PictureFiles.h"
#include "TestSupport.h"
#include "engine/Picture.h"
#include "framework/File.h"
#include "framework/Gdi.h"

namespace tpx::test {
namespace {

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        answerer.SetHandler([this](HWND box, const DialogSeen&) {
            owners.push_back(GetWindow(box, GW_OWNER));
            return IDOK;
        });
    }
    static PixelFunction Pattern(int width, int height)
    {
        return [=](int x, int y) { return Quadrants(width, height, x, y); };
    }

    TestApplication app;
    TempDir dir;
    DialogAnswerer answerer;
    std::vector<HWND> owners;
};

TEST_F(PictureTest, ReportsPixelSizesOfBitmapJpegAndGif)
{
    ASSERT_TRUE(WriteBmp(dir / "p.bmp", 200, 100, Pattern(200, 100)));
    ASSERT_TRUE(WriteJpeg(dir / "p.jpg", 200, 100, Pattern(200, 100)));
    ASSERT_TRUE(WriteGif(dir / "p.gif", 200, 100, Pattern(200, 100)));
    for (const char* name : {"p.bmp", "p.jpg", "p.gif"}) {
        SCOPED_TRACE(name);
        CPicture picture;
        EXPECT_TRUE(picture.Load((dir / name).c_str()));
        EXPECT_NE(picture.m_pPicture, nullptr);
        EXPECT_EQ(picture.m_nWidth, 200);
        EXPECT_EQ(picture.m_nHeight, 100);
        EXPECT_EQ(picture.m_nSize, static_cast<int>(ReadFileBytes(dir / name).size()));
    }
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(PictureTest, MissingFileShowsTheFileErrorCaptionedCPictureError)
{
    const std::string missing = dir / "missing.jpg";
    CFileException expected(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, missing.c_str());
    char text[256];
    expected.GetErrorMessage(text, 255);

    CPicture picture;
    EXPECT_FALSE(picture.Load(missing.c_str()));
    EXPECT_EQ(picture.m_nSize, 0);
    EXPECT_EQ(picture.m_nWidth, 0);
    EXPECT_EQ(picture.m_nHeight, 0);
    EXPECT_EQ(picture.m_pPicture, nullptr);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "CPicture Error");
    EXPECT_EQ(answerer.Seen()[0].text, text);
    EXPECT_NE(answerer.Seen()[0].text.find("missing.jpg"), std::string::npos);
    EXPECT_EQ(owners[0], app.mainWnd.GetSafeHwnd());
}

TEST_F(PictureTest, EmptyAndBrokenFilesFailWithoutAMessage)
{
    ASSERT_TRUE(WriteFileText(dir / "empty.jpg", ""));
    ASSERT_TRUE(WriteFileText(dir / "junk.jpg", std::string(3000, '\x5A')));
    CPicture picture;
    EXPECT_FALSE(picture.Load((dir / "empty.jpg").c_str()));
    EXPECT_EQ(picture.m_nSize, 0);
    EXPECT_FALSE(picture.Load((dir / "junk.jpg").c_str()));
    EXPECT_EQ(picture.m_nSize, 3000);
    EXPECT_EQ(picture.m_pPicture, nullptr);
    EXPECT_EQ(picture.m_nWidth, 0);
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(PictureTest, FileTooLargeForMemoryIsRefusedCleanly)
{
    // A sparse file of 3 GB: beyond what the loader reads into memory.
    const std::string huge = dir / "huge.jpg";
    HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);

    CPicture picture;
    EXPECT_FALSE(picture.Load(huge.c_str()));
    EXPECT_EQ(picture.m_pPicture, nullptr);
    EXPECT_EQ(picture.m_nSize, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "CPicture Error");
    EXPECT_EQ(answerer.Seen()[0].text, "Can not allocate enough memory\t");
    DeleteFileA(huge.c_str());
}

TEST_F(PictureTest, LoadingAgainReleasesThePictureHeldBefore)
{
    ASSERT_TRUE(WriteJpeg(dir / "a.jpg", 30, 20, Pattern(30, 20)));
    ASSERT_TRUE(WriteJpeg(dir / "b.jpg", 50, 40, Pattern(50, 40)));
    CPicture picture;
    ASSERT_TRUE(picture.Load((dir / "a.jpg").c_str()));
    IPicture* first = picture.m_pPicture;
    first->AddRef();
    ASSERT_TRUE(picture.Load((dir / "b.jpg").c_str()));
    EXPECT_NE(picture.m_pPicture, first);
    EXPECT_EQ(picture.m_nWidth, 50);
    EXPECT_EQ(first->Release(), 0u) << "the first picture was not released";

    picture.FreePicture();
    EXPECT_EQ(picture.m_pPicture, nullptr);
    EXPECT_EQ(picture.m_nWidth, 0);
    EXPECT_EQ(picture.m_nHeight, 0);
    EXPECT_EQ(picture.m_nSize, 0);
}

TEST_F(PictureTest, LoadFromBufferRefusesNothingToLoad)
{
    CPicture picture;
    BYTE byte = 0;
    EXPECT_FALSE(picture.LoadFromBuffer(nullptr, 10));
    EXPECT_FALSE(picture.LoadFromBuffer(&byte, 0));
    EXPECT_EQ(picture.m_pPicture, nullptr);
}

// A memory device context with a white 24-bit bitmap to draw into.
class Canvas {
public:
    Canvas(int width, int height)
        : m_dc(CreateCompatibleDC(nullptr)), m_bitmap(CreateBitmapFor(width, height)), m_old(SelectObject(m_dc, m_bitmap))
    {
        PatBlt(m_dc, 0, 0, width, height, WHITENESS);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC Dc() const { return m_dc; }
    COLORREF Pixel(int x, int y) const { return GetPixel(m_dc, x, y); }

private:
    static HBITMAP CreateBitmapFor(int width, int height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

TEST_F(PictureTest, DrawStretchesTheWholePictureUprightIntoTheRectangle)
{
    ASSERT_TRUE(WriteBmp(dir / "q.bmp", 40, 40, Pattern(40, 40)));
    CPicture picture;
    ASSERT_TRUE(picture.Load((dir / "q.bmp").c_str()));
    Canvas canvas(400, 100);
    CDC dc(canvas.Dc());
    const RECT rect = {50, 10, 350, 70};  // 300 x 60: another aspect ratio
    EXPECT_TRUE(picture.Draw(&dc, rect));
    EXPECT_TRUE(ColourNear(canvas.Pixel(60, 20), kRed, 8));
    EXPECT_TRUE(ColourNear(canvas.Pixel(340, 20), kBlue, 8));
    EXPECT_TRUE(ColourNear(canvas.Pixel(60, 60), kGreen, 8));
    EXPECT_TRUE(ColourNear(canvas.Pixel(340, 60), kYellow, 8));
    EXPECT_EQ(canvas.Pixel(45, 40), RGB(255, 255, 255)) << "drawn outside the rectangle";
    EXPECT_EQ(canvas.Pixel(355, 40), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(200, 75), RGB(255, 255, 255));
}

TEST_F(PictureTest, DrawWithoutPictureOrDeviceContextFailsSilently)
{
    Canvas canvas(10, 10);
    CDC dc(canvas.Dc());
    const RECT rect = {0, 0, 10, 10};
    CPicture empty;
    EXPECT_FALSE(empty.Draw(&dc, rect));
    ASSERT_TRUE(WriteBmp(dir / "q.bmp", 4, 4, Pattern(4, 4)));
    CPicture picture;
    ASSERT_TRUE(picture.Load((dir / "q.bmp").c_str()));
    EXPECT_FALSE(picture.Draw(nullptr, rect));
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(PictureTest, SaveToFileWritesABitmapOfThePictureAtItsPixelSize)
{
    ASSERT_TRUE(WriteJpeg(dir / "p.jpg", 120, 80, Pattern(120, 80)));
    ASSERT_TRUE(WriteGif(dir / "p.gif", 90, 70, Pattern(90, 70)));
    const struct {
        const char* source;
        int width, height;
    } cases[] = {{"p.jpg", 120, 80}, {"p.gif", 90, 70}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        CPicture picture;
        ASSERT_TRUE(picture.Load((dir / c.source).c_str()));
        const std::string out = dir / (std::string(c.source) + ".bmp");
        EXPECT_TRUE(picture.SaveToFile(out.c_str()));
        const std::vector<uint8_t> bytes = ReadFileBytes(out);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        const BitmapInfo info = ReadBmpInfo(out);
        ASSERT_TRUE(info.ok) << "LoadImageA does not read it as a bitmap";
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        const int w = c.width, h = c.height;
        EXPECT_TRUE(ColourNear(ReadBmpPixel(out, w / 4, h / 4), kRed, 40));
        EXPECT_TRUE(ColourNear(ReadBmpPixel(out, 3 * w / 4, h / 4), kBlue, 40));
        EXPECT_TRUE(ColourNear(ReadBmpPixel(out, w / 4, 3 * h / 4), kGreen, 40));
        EXPECT_TRUE(ColourNear(ReadBmpPixel(out, 3 * w / 4, 3 * h / 4), kYellow, 40));
    }
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(PictureTest, SaveToFileReportsATargetThatCannotBeCreated)
{
    ASSERT_TRUE(WriteJpeg(dir / "p.jpg", 10, 10, Pattern(10, 10)));
    CPicture picture;
    ASSERT_TRUE(picture.Load((dir / "p.jpg").c_str()));
    const std::string target = dir / "no\\such\\folder\\p.bmp";
    EXPECT_FALSE(picture.SaveToFile(target.c_str()));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "CPicture Error");
    EXPECT_NE(answerer.Seen()[0].text.find("p.bmp"), std::string::npos) << answerer.Seen()[0].text;

    CPicture empty;
    EXPECT_FALSE(empty.SaveToFile((dir / "e.bmp").c_str()));
    EXPECT_FALSE(FileExists(dir / "e.bmp"));
}

}  // namespace
}  // namespace tpx::test
