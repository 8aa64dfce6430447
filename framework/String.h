// CString: the program's single-byte (ANSI code page) text value, and
// CStringArray: an ordered list of such texts (paths, file lists); the
// conversions between that code page and the UTF-16 of the shell's and the
// file system's wide interfaces.
//
// The program's manifest makes UTF-8 its ANSI code page, so a text may take
// up to three bytes a character: lengths here are bytes, never characters.
//
// Nothing here throws on bad input: a null text is the empty text, and
// out-of-range positions are clamped (Left(99) of "abc" is "abc").
// Comparisons that ignore case are multibyte-aware (they follow the active
// multibyte code page, as _mbsicmp does), so double-byte paths compare right.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define TPX_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define TPX_PRINTF_FORMAT(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const char* text);                 // null gives the empty text
    CString(const char* text, int length);     // the first `length` bytes (stops at a NUL)
    CString(char ch, int repeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* text);
    CString& operator=(char ch);

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    operator LPCSTR() const { return m_text.c_str(); }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    // The byte at `index`; 0 when the index lies outside the text.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch);   // ignored outside the text; ch must not be NUL

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // Byte position of the first match at or after `start`, or -1.  The
    // single-character forms never match a trail byte of a double-byte
    // character.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    int Compare(const char* text) const;          // strcmp semantics
    int CompareNoCase(const char* text) const;    // _mbsicmp semantics

    void MakeUpper();
    void MakeLower();

    // printf-style formatting; the text grows as needed.
    void Format(const char* format, ...) TPX_PRINTF_FORMAT(2, 3);
    void FormatV(const char* format, va_list args);

    void TrimLeft();
    void TrimRight();

    // Direct access for APIs that fill a buffer: GetBuffer returns room for
    // at least `minLength` characters plus a NUL; ReleaseBuffer(-1) takes the
    // length from the first NUL, ReleaseBuffer(n) keeps n characters.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator<(const CString& a, const char* b);
bool operator<(const char* a, const CString& b);

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    BOOL IsEmpty() const { return m_items.empty(); }

    // Indexes must lie in 0 .. GetUpperBound(); like the framework's array
    // these accessors do not check them in release builds.
    const CString& GetAt(int index) const { return m_items[static_cast<size_t>(index)]; }
    CString& ElementAt(int index) { return m_items[static_cast<size_t>(index)]; }
    void SetAt(int index, const CString& text) { m_items[static_cast<size_t>(index)] = text; }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }

    int Add(const CString& text);   // returns the new element's index
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};

// Bytes that a path of MAX_PATH UTF-16 characters takes at most in the ANSI
// code page: three a character in UTF-8 (a surrogate pair, two characters,
// takes four).  Buffers that receive a path from an A function are this big.
#define TPX_MAX_PATH_BYTES (MAX_PATH * 3)

// The longest start of `text` (`length` bytes) within `limit` bytes that
// ends between two characters of the ANSI code page: where a text must be
// shortened, no character is cut in two.
int CharacterBoundary(LPCSTR text, int length, int limit);

// `text` (ANSI code page) as UTF-16; empty for a null text or one the code
// page cannot read.
std::wstring AnsiToWide(LPCSTR text);

// The first `length` UTF-16 characters of `text` (-1: up to its NUL) in
// `codePage` (CP_ACP: the process's ANSI code page).  FALSE, and `ansi`
// untouched, when some character has no exact form there: a character the
// code page lacks (the A functions would give "?" or a look-alike, naming
// no file) or a broken surrogate pair.
BOOL WideToAnsi(const WCHAR* text, int length, CString* ansi, UINT codePage = CP_ACP);
