// Smoke test of the picture chain the wallpaper conversion rests on: the
// static FreeImage (with libjpeg-turbo and zlib) judges files by name, reads
// JPEG and GIF pictures, and writes Windows bitmaps that the system's own
// loader (LoadImageA) reads back with the right size and colours.  Broken
// pictures must come back as null (or as a padded picture), never crash.
#include <windows.h>  // first: FreeImage.h defines windows.h's include guard

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using namespace tpx::test;

// ---------------------------------------------------------------- library

std::string g_messages;  // what FreeImage reported since a test last cleared it

void DLL_CALLCONV CollectMessage(FREE_IMAGE_FORMAT fif, const char* message)
{
    g_messages += "[";
    g_messages += std::to_string(static_cast<int>(fif));
    g_messages += "] ";
    g_messages += message ? message : "(null)";
    g_messages += "\n";
}

class FreeImageLibrary : public testing::Environment {
public:
    void SetUp() override
    {
        // TRUE: the built-in plugins only, no scan of the program's folder.
        FreeImage_Initialise(TRUE);
        FreeImage_SetOutputMessage(CollectMessage);
    }
    void TearDown() override { FreeImage_DeInitialise(); }
};

[[maybe_unused]] testing::Environment* const kLibrary = testing::AddGlobalTestEnvironment(new FreeImageLibrary);

struct DibDeleter {
    void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using Dib = std::unique_ptr<FIBITMAP, DibDeleter>;

Dib Load(FREE_IMAGE_FORMAT fif, const std::string& path)
{
    return Dib(FreeImage_Load(fif, path.c_str(), 0));
}

// ---------------------------------------------------------------- pictures

// Every test picture is a grid of 3 x 2 solid blocks in these colours, top
// row first.  Blocks are 16 or 32 pixels wide, multiples of the JPEG
// 16 x 16 sampling unit, so the block centres survive JPEG compression.
constexpr int kColumns = 3;
constexpr int kRows = 2;
constexpr COLORREF kBlockColour[kRows][kColumns] = {
    {RGB(200, 30, 30), RGB(30, 180, 40), RGB(40, 50, 210)},
    {RGB(240, 220, 40), RGB(250, 250, 250), RGB(20, 20, 20)},
};
constexpr int kJpegTolerance = 16;

// The same grid with 16-pixel blocks (48 x 32), made by another encoder
// (ImageMagick 6.9: "-scale 1600% -strip -sampling-factor 2x2 -quality 95"
// for the JPEG, "-scale 1600% -strip" for the GIF), so FreeImage's readers
// are not only checked against its own writers.
const unsigned char kForeignJpeg[] = {
  0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01,
  0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43,
  0x00, 0x02, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x01, 0x01, 0x01, 0x02,
  0x02, 0x02, 0x02, 0x02, 0x04, 0x03, 0x02, 0x02, 0x02, 0x02, 0x05, 0x04,
  0x04, 0x03, 0x04, 0x06, 0x05, 0x06, 0x06, 0x06, 0x05, 0x06, 0x06, 0x06,
  0x07, 0x09, 0x08, 0x06, 0x07, 0x09, 0x07, 0x06, 0x06, 0x08, 0x0b, 0x08,
  0x09, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x06, 0x08, 0x0b, 0x0c, 0x0b, 0x0a,
  0x0c, 0x09, 0x0a, 0x0a, 0x0a, 0xff, 0xdb, 0x00, 0x43, 0x01, 0x02, 0x02,
  0x02, 0x02, 0x02, 0x02, 0x05, 0x03, 0x03, 0x05, 0x0a, 0x07, 0x06, 0x07,
  0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
  0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
  0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
  0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
  0x0a, 0x0a, 0xff, 0xc0, 0x00, 0x11, 0x08, 0x00, 0x20, 0x00, 0x30, 0x03,
  0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xff, 0xc4, 0x00,
  0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x0a, 0xff, 0xc4, 0x00,
  0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xc4, 0x00, 0x18, 0x01,
  0x00, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x07, 0x09, 0x00, 0x08, 0x0a, 0xff, 0xc4, 0x00,
  0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xda, 0x00, 0x0c, 0x03,
  0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0x90, 0xc0, 0x02,
  0xcd, 0x51, 0x4c, 0x00, 0x1f, 0xb3, 0x56, 0x89, 0xc0, 0x3f, 0xc5, 0xb8,
  0x68, 0xc0, 0x06, 0x50, 0xd6, 0xb1, 0x5a, 0x00, 0x6e, 0x80, 0xdb, 0x0c,
  0xe0, 0x22, 0x3f, 0xff, 0xd9
};
const unsigned char kForeignGif[] = {
  0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x30, 0x00, 0x20, 0x00, 0xf2, 0x00,
  0x00, 0x14, 0x14, 0x14, 0xc8, 0x1e, 0x1e, 0x1e, 0xb4, 0x28, 0xf0, 0xdc,
  0x28, 0x28, 0x32, 0xd2, 0xfa, 0xfa, 0xfa, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
  0x00, 0x00, 0x30, 0x00, 0x20, 0x00, 0x00, 0x03, 0xa2, 0x18, 0xba, 0xdc,
  0x21, 0x30, 0xca, 0x29, 0x88, 0xbd, 0x38, 0x13, 0xc7, 0x17, 0xfd, 0x91,
  0x26, 0x5e, 0x5d, 0x07, 0x82, 0xe3, 0x58, 0x72, 0xe7, 0x97, 0x8a, 0xab,
  0xd3, 0x52, 0xaf, 0x16, 0x37, 0xf3, 0x54, 0x67, 0x37, 0x93, 0x4b, 0x3b,
  0x4c, 0xcf, 0xf3, 0x83, 0x04, 0x49, 0xc3, 0x47, 0xb1, 0x72, 0xdc, 0x24,
  0x97, 0xcc, 0x63, 0x52, 0x59, 0x6c, 0x3a, 0x87, 0x50, 0xeb, 0x34, 0xdb,
  0xdc, 0x2e, 0xb5, 0xcf, 0x6f, 0x37, 0x5c, 0x6d, 0x0e, 0xce, 0xe8, 0xb4,
  0x7a, 0x50, 0x68, 0xbb, 0xdf, 0xf0, 0x02, 0x60, 0x4e, 0xaf, 0xdb, 0x01,
  0xeb, 0x3c, 0x3a, 0xce, 0x77, 0xdf, 0xff, 0x74, 0x7a, 0x7a, 0x7d, 0x7d,
  0x80, 0x80, 0x82, 0x79, 0x84, 0x7c, 0x86, 0x7f, 0x88, 0x6b, 0x8a, 0x71,
  0x8c, 0x77, 0x8e, 0x6a, 0x90, 0x70, 0x92, 0x76, 0x94, 0x69, 0x96, 0x6f,
  0x98, 0x75, 0x9a, 0x7b, 0x9c, 0x6d, 0x9e, 0x81, 0xa0, 0x6c, 0xa2, 0x72,
  0xa4, 0x78, 0xa6, 0xa8, 0xa9, 0xa4, 0xa6, 0xa7, 0xa2, 0xaa, 0xab, 0xa0,
  0xad, 0xb3, 0xb0, 0xb6, 0xaa, 0xb8, 0xa8, 0xb7, 0xac, 0xbc, 0xba, 0xbe,
  0xb2, 0xaa, 0x09, 0x00, 0x3b
};

// Checks a bitmap file the way the desktop reads it: LoadImageA's size and
// the colour at the centre of every block.
void ExpectBlocksInBitmap(const std::string& bmpPath, int block, int tolerance)
{
    const BitmapInfo info = ReadBmpInfo(bmpPath);
    ASSERT_TRUE(info.ok) << "LoadImageA refused " << bmpPath;
    EXPECT_EQ(kColumns * block, info.width);
    EXPECT_EQ(kRows * block, info.height);
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            const int x = col * block + block / 2;
            const int y = row * block + block / 2;
            const COLORREF seen = ReadBmpPixel(bmpPath, x, y);
            const COLORREF want = kBlockColour[row][col];
            EXPECT_TRUE(ColourNear(seen, want, tolerance))
                << "block (" << col << "," << row << ") at " << x << "," << y << ": got RGB("
                << int(GetRValue(seen)) << "," << int(GetGValue(seen)) << "," << int(GetBValue(seen))
                << "), want RGB(" << int(GetRValue(want)) << "," << int(GetGValue(want)) << ","
                << int(GetBValue(want)) << ")";
        }
    }
}

// Palette index of the block holding a pixel, counting rows from the top.
int BlockIndex(int x, int yFromTop, int block)
{
    return (yFromTop / block) * kColumns + x / block;
}

// A 24-bit picture of the grid.  FreeImage's rows run bottom-up.
Dib MakeTrueColourBlocks(int block)
{
    const int width = kColumns * block, height = kRows * block;
    Dib dib(FreeImage_Allocate(width, height, 24));
    if (!dib)
        return dib;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = BlockIndex(x, height - 1 - y, block);
            const COLORREF colour = kBlockColour[i / kColumns][i % kColumns];
            RGBQUAD c{};
            c.rgbRed = GetRValue(colour);
            c.rgbGreen = GetGValue(colour);
            c.rgbBlue = GetBValue(colour);
            FreeImage_SetPixelColor(dib.get(), x, y, &c);
        }
    }
    return dib;
}

// An 8-bit palettised picture of the grid, as GIF needs.
Dib MakePaletteBlocks(int block)
{
    const int width = kColumns * block, height = kRows * block;
    Dib dib(FreeImage_Allocate(width, height, 8));
    if (!dib)
        return dib;
    RGBQUAD* palette = FreeImage_GetPalette(dib.get());
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            RGBQUAD& p = palette[row * kColumns + col];
            p.rgbRed = GetRValue(kBlockColour[row][col]);
            p.rgbGreen = GetGValue(kBlockColour[row][col]);
            p.rgbBlue = GetBValue(kBlockColour[row][col]);
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE index = static_cast<BYTE>(BlockIndex(x, height - 1 - y, block));
            FreeImage_SetPixelIndex(dib.get(), x, y, &index);
        }
    }
    return dib;
}

bool StartsWith(const std::vector<uint8_t>& bytes, const std::string& prefix)
{
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

// ---------------------------------------------------------------- formats

TEST(FreeImageFormats, KeepTheirUsualNumbersWithEveryPluginRegistered)
{
    EXPECT_EQ(37, FreeImage_GetFIFCount());
    EXPECT_EQ(0, FIF_BMP);
    EXPECT_EQ(2, FIF_JPEG);
    EXPECT_EQ(25, FIF_GIF);
    EXPECT_STREQ("BMP", FreeImage_GetFormatFromFIF(FIF_BMP));
    EXPECT_STREQ("JPEG", FreeImage_GetFormatFromFIF(FIF_JPEG));
    EXPECT_STREQ("GIF", FreeImage_GetFormatFromFIF(FIF_GIF));
    // Formats built without their codec still hold their places: a missing
    // one would shift every later number.
    EXPECT_EQ(FIF_PNG, FreeImage_GetFIFFromFormat("PNG"));
    EXPECT_EQ(FIF_TIFF, FreeImage_GetFIFFromFormat("TIFF"));
    EXPECT_EQ(FIF_HDR, FreeImage_GetFIFFromFormat("HDR"));
    EXPECT_EQ(FIF_JXR, FreeImage_GetFIFFromFormat("JPEG-XR"));
}

TEST(FreeImageFormats, JudgeFilesByTheirNames)
{
    EXPECT_EQ(FIF_JPEG, FreeImage_GetFIFFromFilename("x.jpg"));
    EXPECT_EQ(FIF_GIF, FreeImage_GetFIFFromFilename("x.gif"));
    EXPECT_EQ(FIF_BMP, FreeImage_GetFIFFromFilename("x.bmp"));
    EXPECT_EQ(FIF_JPEG, FreeImage_GetFIFFromFilename("C:\\My Pictures\\Sea.JPG"));
    EXPECT_EQ(FIF_JPEG, FreeImage_GetFIFFromFilename("C:\\My Pictures\\sea.jpeg"));
    EXPECT_EQ(FIF_GIF, FreeImage_GetFIFFromFilename("C:\\a.b\\Anim.Gif"));
    EXPECT_EQ(FIF_UNKNOWN, FreeImage_GetFIFFromFilename("C:\\My Pictures\\notes.txt"));
    EXPECT_EQ(FIF_UNKNOWN, FreeImage_GetFIFFromFilename("C:\\My Pictures\\jpg"));
}

TEST(FreeImageFormats, ReadWhatTheConversionNeedsAndNothingUnbuilt)
{
    EXPECT_TRUE(FreeImage_FIFSupportsReading(FIF_JPEG));
    EXPECT_TRUE(FreeImage_FIFSupportsReading(FIF_GIF));
    EXPECT_TRUE(FreeImage_FIFSupportsReading(FIF_BMP));
    EXPECT_TRUE(FreeImage_FIFSupportsWriting(FIF_BMP));
    EXPECT_TRUE(FreeImage_FIFSupportsExportBPP(FIF_BMP, 24));
    EXPECT_TRUE(FreeImage_FIFSupportsExportBPP(FIF_BMP, 8));
    EXPECT_FALSE(FreeImage_FIFSupportsReading(FIF_PNG));
    EXPECT_FALSE(FreeImage_FIFSupportsReading(FIF_TIFF));
}

// ---------------------------------------------------------------- conversion

TEST(FreeImageConversion, ForeignJpegBecomesABitmapTheSystemReads)
{
    TempDir dir;
    const std::string jpg = dir / "blocks.jpg", bmp = dir / "blocks.bmp";
    ASSERT_TRUE(WriteFileBytes(jpg, kForeignJpeg, sizeof kForeignJpeg));
    ASSERT_EQ(FIF_JPEG, FreeImage_GetFileType(jpg.c_str(), 0));

    Dib dib = Load(FreeImage_GetFIFFromFilename(jpg.c_str()), jpg);
    ASSERT_TRUE(dib) << g_messages;
    EXPECT_EQ(48u, FreeImage_GetWidth(dib.get()));
    EXPECT_EQ(32u, FreeImage_GetHeight(dib.get()));
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
    ExpectBlocksInBitmap(bmp, 16, kJpegTolerance);
}

TEST(FreeImageConversion, ForeignGifBecomesABitmapWithExactColours)
{
    TempDir dir;
    const std::string gif = dir / "blocks.gif", bmp = dir / "blocks.bmp";
    ASSERT_TRUE(WriteFileBytes(gif, kForeignGif, sizeof kForeignGif));
    ASSERT_EQ(FIF_GIF, FreeImage_GetFileType(gif.c_str(), 0));

    Dib dib = Load(FreeImage_GetFIFFromFilename(gif.c_str()), gif);
    ASSERT_TRUE(dib) << g_messages;
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
    ExpectBlocksInBitmap(bmp, 16, 0);
}

TEST(FreeImageConversion, JpegWrittenByFreeImageComesBackAsABitmap)
{
    TempDir dir;
    const std::string jpg = dir / "made.jpg", bmp = dir / "made.bmp";
    Dib made = MakeTrueColourBlocks(32);
    ASSERT_TRUE(made);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, made.get(), jpg.c_str(), JPEG_QUALITYSUPERB)) << g_messages;
    EXPECT_TRUE(StartsWith(ReadFileBytes(jpg), "\xFF\xD8\xFF"));

    Dib dib = Load(FIF_JPEG, jpg);
    ASSERT_TRUE(dib) << g_messages;
    EXPECT_EQ(24u, FreeImage_GetBPP(dib.get()));
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
    EXPECT_TRUE(StartsWith(ReadFileBytes(bmp), "BM"));
    ExpectBlocksInBitmap(bmp, 32, kJpegTolerance);
}

TEST(FreeImageConversion, GifWrittenByFreeImageComesBackAsABitmap)
{
    TempDir dir;
    const std::string gif = dir / "made.gif", bmp = dir / "made.bmp";
    Dib made = MakePaletteBlocks(32);
    ASSERT_TRUE(made);
    ASSERT_TRUE(FreeImage_Save(FIF_GIF, made.get(), gif.c_str(), 0)) << g_messages;
    EXPECT_TRUE(StartsWith(ReadFileBytes(gif), "GIF8"));

    Dib dib = Load(FIF_GIF, gif);
    ASSERT_TRUE(dib) << g_messages;
    EXPECT_EQ(8u, FreeImage_GetBPP(dib.get()));
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
    ExpectBlocksInBitmap(bmp, 32, 0);
}

TEST(FreeImageConversion, SavingToAnUnwritablePathFails)
{
    TempDir dir;
    Dib made = MakeTrueColourBlocks(16);
    ASSERT_TRUE(made);
    EXPECT_FALSE(FreeImage_Save(FIF_BMP, made.get(), (dir / "missing\\out.bmp").c_str(), 0));
    EXPECT_FALSE(FreeImage_Save(FIF_BMP, made.get(), "", 0));
}

// ---------------------------------------------------------------- bad input

std::vector<uint8_t> Garbage(size_t size)
{
    std::vector<uint8_t> bytes(size);
    uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    bytes[0] = 0x42;  // surely not a JPEG or GIF signature
    return bytes;
}

TEST(FreeImageBadInput, GarbageNamedJpegOrGifLoadsAsNull)
{
    TempDir dir;
    const std::vector<uint8_t> bytes = Garbage(4096);
    for (const char* name : {"garbage.jpg", "garbage.gif"}) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        ASSERT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        EXPECT_EQ(FIF_UNKNOWN, FreeImage_GetFileType(path.c_str(), 0));
        g_messages.clear();
        EXPECT_FALSE(Load(FreeImage_GetFIFFromFilename(path.c_str()), path));
        // The refusal goes through FreeImage's error report, not a crash.
        EXPECT_FALSE(g_messages.empty());
    }
}

TEST(FreeImageBadInput, EmptyAndMissingFilesLoadAsNull)
{
    TempDir dir;
    const std::string empty = dir / "empty.jpg";
    ASSERT_TRUE(WriteFileBytes(empty, "", 0));
    EXPECT_FALSE(Load(FIF_JPEG, empty));
    EXPECT_FALSE(Load(FIF_GIF, empty));
    EXPECT_FALSE(Load(FIF_JPEG, dir / "missing.jpg"));
}

TEST(FreeImageBadInput, JpegCutInsideItsHeadersLoadsAsNull)
{
    TempDir dir;
    const std::string path = dir / "cut.jpg";
    ASSERT_GT(sizeof kForeignJpeg, 40u);
    ASSERT_TRUE(WriteFileBytes(path, kForeignJpeg, 40));
    EXPECT_FALSE(Load(FIF_JPEG, path));
}

// A JPEG written by FreeImage, and where its compressed scan data starts.
struct JpegFile {
    std::vector<uint8_t> bytes;
    size_t scan = 0;
};

JpegFile MakeJpegFile(const std::string& path)
{
    JpegFile jpeg;
    Dib made = MakeTrueColourBlocks(32);
    if (!made || !FreeImage_Save(FIF_JPEG, made.get(), path.c_str(), JPEG_QUALITYSUPERB))
        return jpeg;
    jpeg.bytes = ReadFileBytes(path);
    for (size_t i = 0; i + 1 < jpeg.bytes.size() && !jpeg.scan; ++i) {
        if (jpeg.bytes[i] == 0xFF && jpeg.bytes[i + 1] == 0xDA)  // start of scan
            jpeg.scan = i + 2;
    }
    return jpeg;
}

// libjpeg pads a scan that ends early and warns; FreeImage passes the warning
// on and returns the picture at its full size.
TEST(FreeImageBadInput, JpegCutInsideItsScanLoadsPadded)
{
    TempDir dir;
    const JpegFile jpeg = MakeJpegFile(dir / "full.jpg");
    ASSERT_NE(0u, jpeg.scan);
    const size_t data = jpeg.bytes.size() - jpeg.scan;

    for (size_t keep : {jpeg.scan + data / 4, jpeg.scan + data / 2}) {
        SCOPED_TRACE("kept " + std::to_string(keep) + " of " + std::to_string(jpeg.bytes.size()));
        const std::string cut = dir / "cut.jpg", bmp = dir / "cut.bmp";
        ASSERT_TRUE(WriteFileBytes(cut, jpeg.bytes.data(), keep));
        g_messages.clear();
        Dib dib = Load(FIF_JPEG, cut);
        ASSERT_TRUE(dib) << g_messages;
        EXPECT_NE(std::string::npos, g_messages.find("Premature end of JPEG file")) << g_messages;
        EXPECT_EQ(96u, FreeImage_GetWidth(dib.get()));
        EXPECT_EQ(64u, FreeImage_GetHeight(dib.get()));
        ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
        const BitmapInfo info = ReadBmpInfo(bmp);
        EXPECT_TRUE(info.ok);
        EXPECT_EQ(96, info.width);
        EXPECT_EQ(64, info.height);
    }
}

TEST(FreeImageBadInput, JpegWithoutItsEndMarkerLoadsWhole)
{
    TempDir dir;
    const JpegFile jpeg = MakeJpegFile(dir / "full.jpg");
    ASSERT_NE(0u, jpeg.scan);
    const std::string cut = dir / "cut.jpg", bmp = dir / "cut.bmp";
    ASSERT_TRUE(WriteFileBytes(cut, jpeg.bytes.data(), jpeg.bytes.size() - 2));
    Dib dib = Load(FIF_JPEG, cut);
    ASSERT_TRUE(dib) << g_messages;
    ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));
    ExpectBlocksInBitmap(bmp, 32, kJpegTolerance);
}

TEST(FreeImageBadInput, GifCutShortLoadsAsNull)
{
    TempDir dir;
    const std::string full = dir / "full.gif";
    Dib made = MakePaletteBlocks(32);
    ASSERT_TRUE(made);
    ASSERT_TRUE(FreeImage_Save(FIF_GIF, made.get(), full.c_str(), 0));
    const std::vector<uint8_t> bytes = ReadFileBytes(full);

    // Inside the screen descriptor, inside the image data, and short of
    // only the trailer byte.
    for (size_t keep : {size_t(10), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE("kept " + std::to_string(keep) + " of " + std::to_string(bytes.size()));
        const std::string cut = dir / "cut.gif";
        ASSERT_TRUE(WriteFileBytes(cut, bytes.data(), keep));
        g_messages.clear();
        EXPECT_FALSE(Load(FIF_GIF, cut));
        EXPECT_FALSE(g_messages.empty());
    }
}

}  // namespace
