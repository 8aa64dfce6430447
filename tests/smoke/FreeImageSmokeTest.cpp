// Smoke test of the picture chain the wallpaper conversion rests on: the
// static FreeImage (with libjpeg-turbo and zlib) judges files by name, reads
// the JPEG and GIF pictures it wrote, and writes Windows bitmaps that the
// system's own loader (LoadImageA) reads back with the right size and
// colours.  Broken pictures come back as null, never as a crash.
#include <windows.h>  // first: FreeImage.h defines windows.h's include guard

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

namespace {

using namespace tpx::test;

std::string g_messages;  // what FreeImage reported since a test last cleared it

void DLL_CALLCONV CollectMessage(FREE_IMAGE_FORMAT fif, const char* message)
{
    g_messages += "[" + std::to_string(static_cast<int>(fif)) + "] " + (message ? message : "") + "\n";
}

class FreeImageLibrary : public testing::Environment {
public:
    void SetUp() override
    {
        FreeImage_Initialise(TRUE);  // the built-in plugins only, no folder scan
        FreeImage_SetOutputMessage(CollectMessage);
    }
    void TearDown() override { FreeImage_DeInitialise(); }
};
[[maybe_unused]] testing::Environment* const kLibrary = testing::AddGlobalTestEnvironment(new FreeImageLibrary);

struct DibDeleter {
    void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using Dib = std::unique_ptr<FIBITMAP, DibDeleter>;

// Test pictures are 3 x 2 solid blocks of 32 pixels, top row first: a
// multiple of JPEG's 16 x 16 sampling unit, so block centres survive it.
constexpr int kColumns = 3, kRows = 2, kBlock = 32;
constexpr COLORREF kBlockColour[kColumns * kRows] = {
    RGB(200, 30, 30), RGB(30, 180, 40), RGB(40, 50, 210),
    RGB(240, 220, 40), RGB(250, 250, 250), RGB(20, 20, 20),
};

// The grid as 8-bit palette indices (as GIF needs) or converted to 24-bit
// colour.  FreeImage's rows run bottom-up.
Dib MakeBlocks(unsigned bpp)
{
    const int height = kRows * kBlock;
    Dib dib(FreeImage_Allocate(kColumns * kBlock, height, 8));
    if (!dib)
        return dib;
    RGBQUAD* palette = FreeImage_GetPalette(dib.get());
    for (int i = 0; i < kColumns * kRows; ++i)
        palette[i] = RGBQUAD{GetBValue(kBlockColour[i]), GetGValue(kBlockColour[i]), GetRValue(kBlockColour[i]), 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < kColumns * kBlock; ++x) {
            BYTE i = static_cast<BYTE>((height - 1 - y) / kBlock * kColumns + x / kBlock);
            FreeImage_SetPixelIndex(dib.get(), x, y, &i);
        }
    }
    return bpp == 8 ? std::move(dib) : Dib(FreeImage_ConvertTo24Bits(dib.get()));
}

TEST(FreeImageFormats, JudgeByNameAndKeepTheirNumbersWithStubbedPlugins)
{
    EXPECT_EQ(FIF_JPEG, FreeImage_GetFIFFromFilename("x.jpg"));
    EXPECT_EQ(FIF_GIF, FreeImage_GetFIFFromFilename("x.gif"));
    EXPECT_EQ(FIF_UNKNOWN, FreeImage_GetFIFFromFilename("C:\\My Pictures\\notes.txt"));
    // A plugin missing from the registration would shift every later number.
    EXPECT_EQ(37, FreeImage_GetFIFCount());
    EXPECT_EQ(FIF_PNG, FreeImage_GetFIFFromFormat("PNG"));
    EXPECT_EQ(FIF_JXR, FreeImage_GetFIFFromFormat("JPEG-XR"));
}

TEST(FreeImageConversion, JpegAndGifBecomeBitmapsTheSystemReads)
{
    struct Case {
        const char* name;
        FREE_IMAGE_FORMAT fif;
        unsigned bpp;
        int flags, tolerance;
    };
    for (const Case& c : {Case{"made.jpg", FIF_JPEG, 24, JPEG_QUALITYSUPERB, 16}, Case{"made.gif", FIF_GIF, 8, 0, 0}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string picture = dir / c.name, bmp = dir / "made.bmp";
        Dib made = MakeBlocks(c.bpp);
        ASSERT_TRUE(made);
        ASSERT_TRUE(FreeImage_Save(c.fif, made.get(), picture.c_str(), c.flags)) << g_messages;
        ASSERT_EQ(c.fif, FreeImage_GetFileType(picture.c_str(), 0));

        Dib dib(FreeImage_Load(FreeImage_GetFIFFromFilename(picture.c_str()), picture.c_str(), 0));
        ASSERT_TRUE(dib) << g_messages;
        ASSERT_TRUE(FreeImage_Save(FIF_BMP, dib.get(), bmp.c_str(), 0));

        const BitmapInfo info = ReadBmpInfo(bmp);
        ASSERT_TRUE(info.ok) << "LoadImageA refused " << bmp;
        EXPECT_EQ(kColumns * kBlock, info.width);
        EXPECT_EQ(kRows * kBlock, info.height);
        for (int i = 0; i < kColumns * kRows; ++i) {
            const int x = i % kColumns * kBlock + kBlock / 2, y = i / kColumns * kBlock + kBlock / 2;
            const COLORREF seen = ReadBmpPixel(bmp, x, y);
            EXPECT_TRUE(ColourNear(seen, kBlockColour[i], c.tolerance))
                << "block " << i << ": got 0x" << std::hex << seen << ", want 0x" << kBlockColour[i];
        }
    }
}

TEST(FreeImageBadInput, CorruptPicturesLoadAsNull)
{
    TempDir dir;
    std::vector<uint8_t> garbage(4096);
    uint32_t state = 12345;
    for (auto& b : garbage)
        b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 16);
    garbage[0] = 'B';  // surely no JPEG or GIF signature
    Dib jpeg = MakeBlocks(24), gif = MakeBlocks(8);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, jpeg.get(), (dir / "full.jpg").c_str(), 0));
    ASSERT_TRUE(FreeImage_Save(FIF_GIF, gif.get(), (dir / "full.gif").c_str(), 0));
    const std::vector<uint8_t> fullJpeg = ReadFileBytes(dir / "full.jpg"), fullGif = ReadFileBytes(dir / "full.gif");

    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"garbage.jpg", garbage},
        {"garbage.gif", garbage},
        {"empty.jpg", {}},
        {"headers-cut.jpg", {fullJpeg.begin(), fullJpeg.begin() + 40}},
        {"screen-cut.gif", {fullGif.begin(), fullGif.begin() + 10}},
        {"data-cut.gif", {fullGif.begin(), fullGif.begin() + fullGif.size() / 2}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        ASSERT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        g_messages.clear();
        EXPECT_FALSE(Dib(FreeImage_Load(FreeImage_GetFIFFromFilename(name), path.c_str(), 0)));
        EXPECT_TRUE(bytes.empty() || !g_messages.empty()) << "refused without FreeImage's error report";
    }
}

}  // namespace
