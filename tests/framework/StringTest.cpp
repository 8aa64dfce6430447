// CString and CStringArray: the behaviour callers depend on, including
// clamped positions, formatting past any fixed buffer, buffers handed to
// Win32 calls and double-byte text.
#include <gtest/gtest.h>

#include <mbctype.h>

#include <string>

#include "framework/String.h"

TEST(CString, ConstructionCopiesAndTreatsNullAsEmpty)
{
    const char* none = nullptr;
    CString fromNull(none);
    EXPECT_TRUE(fromNull.IsEmpty());
    EXPECT_STREQ("", fromNull);

    char source[] = "wallpaper";
    CString copy(source);
    source[0] = 'W';
    EXPECT_STREQ("wallpaper", copy);
    EXPECT_EQ(9, copy.GetLength());

    EXPECT_STREQ("wall", CString("wallpaper", 4));
    EXPECT_STREQ("ab", CString("ab\0cd", 5));
    EXPECT_STREQ("---", CString('-', 3));

    CString moved(std::move(copy));
    EXPECT_STREQ("wallpaper", moved);
}

TEST(CString, ConcatenationAndAliasing)
{
    CString path("C:\\Pictures");
    path += '\\';
    path += "a.bmp";
    EXPECT_STREQ("C:\\Pictures\\a.bmp", path);
    EXPECT_STREQ("x-y", CString("x") + '-' + "y");
    EXPECT_STREQ("pre.fix", "pre" + CString(".fix"));

    CString self("ab");
    self += self;
    EXPECT_STREQ("abab", self);
    self = self.Mid(1);
    EXPECT_STREQ("bab", self);
    self = static_cast<LPCSTR>(self) + 1;   // assigning from its own buffer
    EXPECT_STREQ("ab", self);
    self += static_cast<const char*>(nullptr);
    EXPECT_STREQ("ab", self);
}

TEST(CString, SubstringsClampOutOfRangePositions)
{
    const CString s("abcdef");
    EXPECT_STREQ("abc", s.Left(3));
    EXPECT_STREQ("abcdef", s.Left(99));
    EXPECT_STREQ("", s.Left(-1));
    EXPECT_STREQ("def", s.Right(3));
    EXPECT_STREQ("abcdef", s.Right(99));
    EXPECT_STREQ("cdef", s.Mid(2));
    EXPECT_STREQ("cd", s.Mid(2, 2));
    EXPECT_STREQ("", s.Mid(6));
    EXPECT_STREQ("", s.Mid(10, 2));
    EXPECT_STREQ("abc", s.Mid(-3, 3));
    EXPECT_STREQ("ef", s.Mid(4, 100));
    EXPECT_EQ('a', s[0]);
    EXPECT_EQ('f', s.GetAt(5));
    EXPECT_EQ('\0', s.GetAt(6));
    EXPECT_EQ('\0', s.GetAt(-1));
}

TEST(CString, FindAndReverseFind)
{
    const CString s("C:\\a\\b.c.bmp");
    EXPECT_EQ(2, s.Find('\\'));
    EXPECT_EQ(4, s.Find('\\', 3));
    EXPECT_EQ(-1, s.Find('\\', 5));
    EXPECT_EQ(-1, s.Find('x'));
    EXPECT_EQ(4, s.ReverseFind('\\'));
    EXPECT_EQ(8, s.ReverseFind('.'));
    EXPECT_EQ(6, s.Find(".c"));
    EXPECT_EQ(8, s.Find(".bmp", 7));
    EXPECT_EQ(-1, s.Find("zz"));
    EXPECT_EQ(-1, s.Find('\\', 99));
    EXPECT_EQ(0, s.Find(""));
}

TEST(CString, CompareAndOperators)
{
    EXPECT_EQ(0, CString("abc").Compare("abc"));
    EXPECT_LT(CString("abc").Compare("abd"), 0);
    EXPECT_EQ(0, CString("C:\\Pictures\\A.BMP").CompareNoCase("c:\\pictures\\a.bmp"));
    EXPECT_NE(0, CString("a.bmp").CompareNoCase("a.bm"));
    EXPECT_TRUE(CString("x") == "x");
    EXPECT_TRUE("x" == CString("x"));
    EXPECT_TRUE(CString("x") != CString("y"));
    EXPECT_TRUE(CString("a") < CString("b"));
    EXPECT_FALSE(CString("b") < "a");
}

TEST(CString, CaseConversion)
{
    CString s("Wall Paper.JPG");
    s.MakeLower();
    EXPECT_STREQ("wall paper.jpg", s);
    s.MakeUpper();
    EXPECT_STREQ("WALL PAPER.JPG", s);
}

TEST(CString, FormatGrowsAsNeeded)
{
    CString s;
    s.Format("%4d x %4d", 12, 345);
    EXPECT_STREQ("  12 x  345", s);
    s.Format("%d %d %d", 0, 128, 255);
    EXPECT_STREQ("0 128 255", s);

    const std::string longText(5000, 'q');
    s.Format("<%s>", longText.c_str());
    EXPECT_EQ(5002, s.GetLength());
    EXPECT_EQ('>', s[5001]);
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, BufferForWin32Calls)
{
    CString dir;
    char* buffer = dir.GetBuffer(MAX_PATH);
    const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    dir.ReleaseBuffer();
    ASSERT_GT(length, 0u);
    EXPECT_EQ(static_cast<int>(length), dir.GetLength());

    CString s("abcdef");
    char* p = s.GetBuffer(0);
    p[2] = 'X';
    s.ReleaseBuffer(4);
    EXPECT_STREQ("abXd", s);

    // Writing exactly the asked number of characters and a NUL is allowed.
    CString exact;
    char* q = exact.GetBuffer(3);
    memcpy(q, "xyz", 4);
    exact.ReleaseBuffer();
    EXPECT_STREQ("xyz", exact);
}

TEST(CString, TrimAndEmpty)
{
    CString s("  padded \t\r\n");
    s.TrimLeft();
    s.TrimRight();
    EXPECT_STREQ("padded", s);
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
}

// Paths in double-byte code pages: a trail byte may have the value of a
// backslash (0x5C); it must never be taken for one.
class CStringDoubleByte : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = _getmbcp();
        if (_setmbcp(932) != 0)
            GTEST_SKIP() << "code page 932 is not available";
    }
    void TearDown() override { _setmbcp(m_previous); }
    int m_previous = 0;
};

TEST_F(CStringDoubleByte, TrailBytesAreNotSeparators)
{
    // "C:\" + the character 0x95 0x5C + "\x.bmp"
    const CString path("C:\\\x95\x5c\\x.bmp");
    EXPECT_EQ(2, path.Find('\\'));
    EXPECT_EQ(5, path.Find('\\', 3));
    EXPECT_EQ(5, path.ReverseFind('\\'));
    const CString noSeparator("\x95\x5c");
    EXPECT_EQ(-1, noSeparator.Find('\\'));
    EXPECT_EQ(-1, noSeparator.ReverseFind('\\'));
}

TEST(CStringArray, AddReturnsIndexAndKeepsOrder)
{
    CStringArray list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(0, list.Add("a.bmp"));
    EXPECT_EQ(1, list.Add("b.bmp"));
    EXPECT_EQ(2, list.Add("c.bmp"));
    EXPECT_EQ(3, list.GetSize());
    EXPECT_EQ(2, list.GetUpperBound());
    EXPECT_STREQ("b.bmp", list[1]);
    EXPECT_STREQ("c.bmp", list.GetAt(2));

    list.SetAt(0, "z.bmp");
    list[2] = "y.bmp";
    EXPECT_STREQ("z.bmp", list[0]);
    EXPECT_STREQ("y.bmp", list.GetAt(2));

    list.RemoveAt(1);
    ASSERT_EQ(2, list.GetSize());
    EXPECT_STREQ("y.bmp", list[1]);
    list.RemoveAt(5);   // outside: nothing happens
    EXPECT_EQ(2, list.GetSize());
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(0, list.GetSize());
}
