// Every file of the generated picture corpus (tools/make-corpus.sh: cut,
// bit-flipped and bent JPEGs, GIFs and bitmaps, empty files, giants, text
// and folders under picture names) goes through the silent conversion and
// through the preview's CPicture::Load and Draw in this process: nothing
// may crash or hang, a conversion either writes a sound bitmap or leaves the
// previous one byte for byte, and the only messages are the loader's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>

#include "TestSupport.h"
#include "engine/BitmapCheck.h"
#include "engine/Conversion.h"
#include "engine/Picture.h"
#include "framework/App.h"
#include "framework/File.h"

using namespace tpx::test;

TEST(PictureCorpus, EveryFileConvertsSoundlyOrLeavesThePreviousBitmapAndPreviewsWithoutFault)
{
    const char* corpus = std::getenv("TPX_CORPUS");
    ASSERT_TRUE(corpus) << "TPX_CORPUS is not set: run through CTest";
    AppRegistryScope registry;
    TempDir work;
    const std::string target = work / "Converted.bmp";
    registry.Set("ConvertedBmpPath", target);
    registry.Set("ConvertToBmp", 1);
    CWinApp app("Tapestrix");
    DialogAnswerer answerer;

    // The bitmap the desktop shows before the first file, and the canvas the preview draws on.
    CString first = (std::string(corpus) + "\\seed-base.jpg").c_str();
    ASSERT_EQ(CONVERT_DONE, ConvertToBitmap(first));
    std::vector<uint8_t> shown = ReadFileBytes(target);
    CDCHandle memory(CreateCompatibleDC(nullptr));
    CBitmapHandle canvas(CreateCompatibleBitmap(memory.Get(), 64, 64));
    CSelectObjectGuard select(memory.Get(), canvas.Get());

    std::map<std::string, int> results;
    WIN32_FIND_DATAA found;
    CFindHandle find(FindFirstFileA((std::string(corpus) + "\\*").c_str(), &found));
    for (BOOL more = find.IsValid(); more; more = FindNextFileA(find.Get(), &found)) {
        const std::string name = found.cFileName, path = std::string(corpus) + "\\" + name;
        if (name[0] == '.')
            continue;
        SCOPED_TRACE(name);
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const size_t seenBefore = answerer.Seen().size();
        const DWORD start = GetTickCount();

        // The conversion, as the random and sequential changes run it (which
        // result a name or a missing file gives: the engine tests).
        CString converted = path.c_str();
        results[name] = ConvertToBitmap(converted);
        if (results[name] == CONVERT_DONE) {
            EXPECT_EQ(BITMAP_SOUND, CheckBitmapFile(AnsiToWide(target.c_str()).c_str()));
            shown = ReadFileBytes(target);
        } else {
            EXPECT_TRUE(ReadFileBytes(target) == shown) << "the shown bitmap was changed by a failed conversion";
        }

        // The preview: load (never a bitmap the check calls damaged), then draw over the whole canvas.
        CPicture picture;
        const BOOL loaded = picture.Load(path.c_str());
        EXPECT_FALSE(loaded && CheckBitmapFile(AnsiToWide(path.c_str()).c_str()) == BITMAP_DAMAGED);
        CDC dc(memory.Get());
        EXPECT_EQ(loaded, picture.Draw(&dc, RECT{0, 0, 64, 64}));

        // One message, the loader's own, and only for a folder, which cannot be opened as a file.
        EXPECT_EQ(folder ? 1u : 0u, answerer.Seen().size() - seenBefore) << "messages for one file";
        if (answerer.Seen().size() > seenBefore) {
            const DialogSeen& seen = answerer.Seen().back();
            EXPECT_TRUE(seen.caption == "CPicture Error" && seen.text.find(name) != std::string::npos) << seen.text;
        }
        // A decoder that believes an announced size takes far longer or never ends.
        EXPECT_GT(4000u, GetTickCount() - start) << "too slow";
    }
    EXPECT_GE(results.size(), 300u) << corpus;

    // The hardest sound seeds are read by both paths; the giants, and what
    // is no picture at all, by neither.
    for (const char* name : {"seed-progressive.jpg", "seed-anim.gif", "real-4000x3000.jpg"})
        EXPECT_EQ(CONVERT_DONE, results[name]) << name;
    for (const char* name : {"real-20000x20000.jpg", "hugeimage-base.gif", "empty.gif", "folder.jpg"})
        EXPECT_EQ(CONVERT_NOT_USABLE, results[name]) << name;
}
