// CFile, CFileException and CFileFind on real files and folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "framework/File.h"

using namespace tpx::test;

TEST(CFile, WriteThenReadBack)
{
    TempDir dir;
    const std::string path = dir / "data.bin";
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        const char bytes[] = "0123456789";
        EXPECT_TRUE(file.Write(bytes, 10));
        EXPECT_TRUE(file.Write(bytes, 0));
        EXPECT_EQ(10u, file.GetLength());
    }   // closed by its destructor

    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeBinary));
    EXPECT_EQ(10u, file.GetLength());
    char buffer[32] = {};
    EXPECT_EQ(10u, file.Read(buffer, sizeof(buffer)));
    EXPECT_STREQ("0123456789", buffer);
    EXPECT_EQ(0u, file.Read(buffer, sizeof(buffer)));   // at the end
    EXPECT_EQ(4u, file.Seek(4, CFile::begin));
    EXPECT_EQ(2u, file.Read(buffer, 2));
    EXPECT_EQ('4', buffer[0]);
    // Opened for reading only: writing fails instead of throwing.
    EXPECT_FALSE(file.Write("x", 1));
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_EQ(0u, file.Read(buffer, 1));
}

TEST(CFile, CreateTruncatesUnlessAskedNotTo)
{
    TempDir dir;
    const std::string path = dir / "t.txt";
    ASSERT_TRUE(WriteFileText(path, "long old content"));
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
        EXPECT_EQ(16u, file.GetLength());
    }
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        EXPECT_TRUE(file.Write("new", 3));
    }
    EXPECT_EQ(3u, ReadFileBytes(path).size());
}

TEST(CFile, SharingFlagsAreHonoured)
{
    TempDir dir;
    const std::string path = dir / "shared.txt";
    ASSERT_TRUE(WriteFileText(path, "x"));
    CFile exclusive;
    ASSERT_TRUE(exclusive.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));
    CFile second;
    CFileException error;
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &error));
    EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, error.m_lOsError);
    exclusive.Close();
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &error));
}

TEST(CFileException, MissingFileGivesCauseAndText)
{
    TempDir dir;
    const std::string path = dir / "missing.jpg";
    CFile file;
    CFileException error;
    ASSERT_FALSE(file.Open(path.c_str(), CFile::modeRead | CFile::typeBinary, &error));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, error.m_lOsError);

    char text[256];
    ASSERT_TRUE(error.GetErrorMessage(text, sizeof(text)));
    EXPECT_EQ(path + " was not found.", std::string(text));

    // Truncated to the buffer, always terminated.
    char small[8];
    memset(small, '#', sizeof(small));
    ASSERT_TRUE(error.GetErrorMessage(small, sizeof(small)));
    EXPECT_EQ(7u, strlen(small));
    EXPECT_EQ(path.substr(0, 7), std::string(small));

    UINT help = 99;
    EXPECT_FALSE(error.GetErrorMessage(nullptr, 10, &help));
    EXPECT_FALSE(error.GetErrorMessage(text, 0));
}

TEST(CFileException, MissingFolderAndDeniedAccess)
{
    TempDir dir;
    CFile file;
    CFileException error;
    const std::string inMissingFolder = dir / "nope\\x.bmp";
    ASSERT_FALSE(file.Open(inMissingFolder.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::badPath, error.m_cause);
    char text[512];
    error.GetErrorMessage(text, sizeof(text));
    EXPECT_EQ(inMissingFolder + " contains an invalid path.", std::string(text));

    // A folder cannot be opened as a file.
    ASSERT_FALSE(file.Open(dir.Path().c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    error.GetErrorMessage(text, sizeof(text));
    EXPECT_EQ("Access to " + dir.Path() + " was denied.", std::string(text));

    EXPECT_FALSE(file.Open("", CFile::modeRead, &error));
    EXPECT_FALSE(file.Open(nullptr, CFile::modeRead));
}

namespace {

struct Entry {
    std::string name;
    std::string path;
    bool dots;
    bool directory;
};

// Walks a search the way callers do: FindNextFile before every entry, the
// last entry read after it returned FALSE.
std::vector<Entry> Walk(const std::string& pattern)
{
    std::vector<Entry> entries;
    CFileFind finder;
    BOOL more = finder.FindFile(pattern.c_str());
    while (more) {
        more = finder.FindNextFile();
        entries.push_back({std::string(finder.GetFileName()), std::string(finder.GetFilePath()),
                           finder.IsDots() != FALSE, finder.IsDirectory() != FALSE});
    }
    return entries;
}

}  // namespace

TEST(CFileFind, ListsEveryEntryWithFullPaths)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "a.bmp", "a"));
    ASSERT_TRUE(WriteFileText(dir / "b.JPG", "b"));
    ASSERT_TRUE(MakeDirs(dir / "sub"));
    ASSERT_TRUE(WriteFileText(dir / "sub\\c.gif", "c"));

    const std::vector<Entry> entries = Walk(dir / "*.*");
    std::set<std::string> names;
    int dots = 0;
    for (const Entry& e : entries) {
        names.insert(e.name);
        if (e.dots) {
            ++dots;
            EXPECT_TRUE(e.name == "." || e.name == "..");
            EXPECT_TRUE(e.directory);
            continue;
        }
        EXPECT_EQ(dir / e.name, e.path);
        EXPECT_EQ(e.name == "sub", e.directory);
        EXPECT_TRUE(FileExists(e.path)) << e.path;
    }
    EXPECT_EQ(2, dots);
    EXPECT_EQ((std::set<std::string>{".", "..", "a.bmp", "b.JPG", "sub"}), names);
}

TEST(CFileFind, SingleMatchIsReadAfterFindNextFileReturnsFalse)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "only.bmp", "x"));
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile((dir / "only.bmp").c_str()));
    EXPECT_TRUE(finder.GetFileName().IsEmpty());   // nothing current yet
    EXPECT_FALSE(finder.FindNextFile());           // it is the last entry...
    EXPECT_STREQ("only.bmp", finder.GetFileName()); // ...and readable
    EXPECT_EQ(dir / "only.bmp", std::string(finder.GetFilePath()));
    EXPECT_EQ(1u, finder.GetLength());
    EXPECT_FALSE(finder.IsDirectory());
    EXPECT_NE(0u, finder.GetFileAttributes());
    EXPECT_FALSE(finder.FindNextFile());            // nothing beyond
}

TEST(CFileFind, DoubledSeparatorStillGivesUsablePaths)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "x.bmp", "x"));
    const std::vector<Entry> entries = Walk(dir.Path() + "\\\\*.*");
    bool found = false;
    for (const Entry& e : entries) {
        if (e.name == "x.bmp") {
            found = true;
            EXPECT_TRUE(FileExists(e.path)) << e.path;
        }
    }
    EXPECT_TRUE(found);
}

TEST(CFileFind, MissingFolderFindsNothing)
{
    TempDir dir;
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile((dir / "missing\\*.*").c_str()));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_TRUE(finder.GetFilePath().IsEmpty());
    EXPECT_FALSE(finder.IsDots());
    EXPECT_TRUE(Walk(dir / "none*.bmp").empty());
}
