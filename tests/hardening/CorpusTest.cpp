// Every file of the generated picture corpus (tools/make-corpus.sh: cut,
// bit-flipped and bent JPEGs, GIFs and bitmaps, empty files, giants, text
// and folders under picture names) goes through the silent conversion and
// through the preview's CPicture::Load and Draw in this process: nothing
// may crash or hang, a conversion either writes a sound bitmap or leaves the
// previous one byte for byte, and the only messages are the loader's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/BitmapCheck.h"
#include "engine/Conversion.h"
#include "engine/Picture.h"
#include "framework/App.h"
#include "framework/File.h"

using namespace tpx::test;

namespace {

// Time one file may take through both paths; a decoder that believes an
// announced size takes far longer or never ends.
constexpr DWORD kFileBudgetMs = 4000;

std::string CorpusDir()
{
    const char* dir = std::getenv("TPX_CORPUS");
    return dir ? dir : "";
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], int(wide.size()))) - 1);
    return wide;
}

std::vector<std::string> CorpusEntries(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (found.cFileName[0] != '.')
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

bool EndsWith(const std::string& name, const char* ending)
{
    const std::string tail(ending);
    return name.size() >= tail.size() && lstrcmpiA(name.c_str() + name.size() - tail.size(), ending) == 0;
}

// What the corpus did, for the report at the end.
struct Tally {
    int files = 0, converted = 0, refused = 0, loaded = 0, drawn = 0, slowest = 0;
    std::string slowestName;
};

}  // namespace

TEST(PictureCorpus, EveryFileConvertsSoundlyOrLeavesThePreviousBitmapAndPreviewsWithoutFault)
{
    const std::string corpus = CorpusDir();
    ASSERT_FALSE(corpus.empty()) << "TPX_CORPUS is not set: run through CTest";
    const std::vector<std::string> names = CorpusEntries(corpus);
    ASSERT_GE(names.size(), 300u) << corpus;

    AppRegistryScope registry;
    TempDir work;
    const std::string target = work / "Converted.bmp";
    registry.Set("ConvertedBmpPath", target);
    registry.Set("ConvertToBmp", 1);
    CWinApp app("Tapestrix");
    CWnd mainWnd;
    ASSERT_TRUE(mainWnd.CreateEx(0, nullptr, "Corpus", WS_OVERLAPPEDWINDOW, {0, 0, 100, 100}, nullptr, 0));
    app.m_pMainWnd = &mainWnd;
    DialogAnswerer answerer;

    // The bitmap the desktop shows before the first file.
    CString first = (corpus + "\\seed-base.jpg").c_str();
    ASSERT_EQ(CONVERT_DONE, ConvertToBitmap(first));
    std::vector<uint8_t> shown = ReadFileBytes(target);
    std::string from = GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom").value_or("");

    // A canvas the preview draws on.
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(memory, canvas);

    const std::set<std::string> loaderTexts = {"Can not allocate enough memory\t",
                                               "IPicture interface is not supported\t"};

    Tally tally;
    std::map<std::string, int> results;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = corpus + "\\" + name;
        const bool folder = (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const size_t seenBefore = answerer.Seen().size();
        const DWORD start = GetTickCount();
        ++tally.files;

        // The conversion, as the random and sequential changes run it.
        CString converted = path.c_str();
        const int result = ConvertToBitmap(converted);
        if (EndsWith(name, ".bmp")) {
            EXPECT_EQ(CONVERT_IS_BITMAP, result);
        } else if (result == CONVERT_DONE) {
            ++tally.converted;
            EXPECT_EQ(target, static_cast<LPCSTR>(converted));
            EXPECT_EQ(BITMAP_SOUND, CheckBitmapFile(Wide(target).c_str()));
            EXPECT_TRUE(ReadBmpInfo(target).ok);
            EXPECT_EQ(path, GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom").value_or(""));
            shown = ReadFileBytes(target);
            from = path;
        } else {
            ++tally.refused;
            EXPECT_EQ(CONVERT_NOT_USABLE, result);
            EXPECT_EQ(path, static_cast<LPCSTR>(converted));
            EXPECT_TRUE(ReadFileBytes(target) == shown) << "the shown bitmap was changed by a failed conversion";
            EXPECT_EQ(from, GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom").value_or(""));
        }
        results[name] = result;

        // The preview: load, then draw over the whole canvas.
        CPicture picture;
        const BOOL loaded = picture.Load(path.c_str());
        EXPECT_EQ(loaded, picture.m_pPicture != nullptr);
        if (loaded) {
            ++tally.loaded;
            EXPECT_TRUE(picture.m_nWidth > 0 && picture.m_nHeight > 0) << picture.m_nWidth << "x" << picture.m_nHeight;
            CDC dc(memory);
            if (picture.Draw(&dc, RECT{0, 0, 64, 64}))
                ++tally.drawn;
        } else {
            EXPECT_EQ(0, picture.m_nWidth + picture.m_nHeight);
        }
        picture.FreePicture();

        // Only the loader's own messages; a folder cannot be opened as a file, and says so.
        for (size_t i = seenBefore; i < answerer.Seen().size(); ++i) {
            const DialogSeen& seen = answerer.Seen()[i];
            EXPECT_EQ("CPicture Error", seen.caption);
            EXPECT_TRUE(loaderTexts.count(seen.text) || (folder && seen.text.find(name) != std::string::npos))
                << "[" << seen.text << "]";
        }
        EXPECT_EQ(folder ? 1u : 0u, answerer.Seen().size() - seenBefore) << "messages for one file";

        const int took = int(GetTickCount() - start);
        EXPECT_GT(int(kFileBudgetMs), took) << "too slow";
        if (took > tally.slowest)
            tally.slowest = took, tally.slowestName = name;
    }
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    app.m_pMainWnd = nullptr;
    mainWnd.DestroyWindow();

    // The sound seeds are read by both paths; the giants by neither.
    for (const char* name : {"seed-base.jpg", "seed-progressive.jpg", "seed-gray.jpg", "seed-base.gif", "seed-anim.gif",
                             "real-4000x3000.jpg"})
        EXPECT_EQ(CONVERT_DONE, results[name]) << name;
    for (const char* name : {"real-20000x20000.jpg", "claims65535-base.jpg", "hugeimage-base.gif", "text.jpg",
                             "empty.gif", "folder.jpg"})
        EXPECT_EQ(CONVERT_NOT_USABLE, results[name]) << name;

    std::printf("corpus: %d files, %d converted, %d refused, %d loaded for the preview, %d drawn, 0 crashes; "
                "slowest %d ms (%s)\n",
                tally.files, tally.converted, tally.refused, tally.loaded, tally.drawn, tally.slowest,
                tally.slowestName.c_str());
}
