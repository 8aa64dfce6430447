#include "framework/String.h"

#include <mbstring.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

CString::CString(const char* text)
{
    if (text)
        m_text = text;
}

CString::CString(const char* text, int length)
{
    if (text && length > 0)
        m_text.assign(text, strnlen(text, static_cast<size_t>(length)));
}

CString::CString(char ch, int repeat)
{
    if (ch != '\0' && repeat > 0)
        m_text.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(const char* text)
{
    if (!text)
        m_text.clear();
    else
        m_text = std::string(text);  // a copy first: `text` may point into m_text
    return *this;
}

CString& CString::operator=(char ch)
{
    m_text.assign(ch != '\0' ? 1 : 0, ch);
    return *this;
}

CString& CString::operator+=(const CString& text)
{
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_text += std::string(text);
    return *this;
}

CString& CString::operator+=(char ch)
{
    if (ch != '\0')
        m_text += ch;
    return *this;
}

char CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return '\0';
    return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch)
{
    if (index >= 0 && index < GetLength() && ch != '\0')
        m_text[static_cast<size_t>(index)] = ch;
}

CString CString::Left(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, static_cast<size_t>(count)).c_str());
}

CString CString::Right(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(static_cast<size_t>(GetLength() - count)).c_str());
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)).c_str());
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start >= GetLength() || ch == '\0')
        return -1;
    // Scan from the beginning so that a lead/trail byte pair is never split.
    const auto* base = reinterpret_cast<const unsigned char*>(m_text.c_str());
    for (const unsigned char* p = base; *p; p = _mbsinc(p)) {
        if (p - base >= start && *p == static_cast<unsigned char>(ch))
            return static_cast<int>(p - base);
    }
    return -1;
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const auto* base = reinterpret_cast<const unsigned char*>(m_text.c_str());
    const auto* found = _mbsstr(base + start, reinterpret_cast<const unsigned char*>(sub));
    return found ? static_cast<int>(found - base) : -1;
}

int CString::ReverseFind(char ch) const
{
    if (ch == '\0')
        return -1;
    const auto* base = reinterpret_cast<const unsigned char*>(m_text.c_str());
    int last = -1;
    for (const unsigned char* p = base; *p; p = _mbsinc(p)) {
        if (*p == static_cast<unsigned char>(ch))
            last = static_cast<int>(p - base);
    }
    return last;
}

int CString::Compare(const char* text) const
{
    return strcmp(m_text.c_str(), text ? text : "");
}

int CString::CompareNoCase(const char* text) const
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(m_text.c_str()),
                    reinterpret_cast<const unsigned char*>(text ? text : ""));
}

void CString::MakeUpper()
{
    if (!m_text.empty())
        CharUpperBuffA(&m_text[0], static_cast<DWORD>(m_text.size()));
}

void CString::MakeLower()
{
    if (!m_text.empty())
        CharLowerBuffA(&m_text[0], static_cast<DWORD>(m_text.size()));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    if (!format) {
        m_text.clear();
        return;
    }
    va_list probe;
    va_copy(probe, args);
    const int needed = vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed <= 0) {
        m_text.clear();
        return;
    }
    std::string result(static_cast<size_t>(needed) + 1, '\0');
    vsnprintf(&result[0], result.size(), format, args);
    result.resize(static_cast<size_t>(needed));
    m_text = std::move(result);
}

void CString::TrimLeft()
{
    const size_t first = m_text.find_first_not_of(" \t\r\n");
    m_text.erase(0, first == std::string::npos ? m_text.size() : first);
}

void CString::TrimRight()
{
    const size_t last = m_text.find_last_not_of(" \t\r\n");
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

char* CString::GetBuffer(int minLength)
{
    // One byte more than asked, so a writer may put its NUL after
    // `minLength` characters; ReleaseBuffer trims the text to its length.
    const size_t wanted = static_cast<size_t>(std::max(minLength, 0)) + 1;
    if (m_text.size() < wanted)
        m_text.resize(wanted, '\0');
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    size_t length = strnlen(m_text.c_str(), m_text.size());
    if (newLength >= 0)
        length = std::min(static_cast<size_t>(newLength), m_text.size());
    m_text.resize(length);
    // A NUL written inside the kept part still ends the text.
    m_text.resize(strnlen(m_text.c_str(), m_text.size()));
}

CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }
CString operator+(const CString& a, char b) { CString r(a); r += b; return r; }
CString operator+(char a, const CString& b) { CString r(a); r += b; return r; }

bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }

int CStringArray::Add(const CString& text)
{
    m_items.push_back(text);
    return GetUpperBound();
}

void CStringArray::RemoveAt(int index, int count)
{
    if (index < 0 || count <= 0 || index >= GetSize())
        return;
    const int end = std::min(index + count, GetSize());
    m_items.erase(m_items.begin() + index, m_items.begin() + end);
}

int CharacterBoundary(LPCSTR text, int length, int limit)
{
    if (!text || limit <= 0)
        return 0;
    if (limit >= length)
        return length;
    if (GetACP() == CP_UTF8) {
        // A byte 10xxxxxx continues the character before it.
        while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80)
            --limit;
        return limit;
    }
    int end = 0;
    for (LPCSTR p = text; *p;) {
        const LPCSTR next = CharNextExA(CP_ACP, p, 0);
        if (next == p || next - text > limit)
            break;
        end = static_cast<int>(next - text);
        p = next;
    }
    return end;
}

std::wstring AnsiToWide(LPCSTR text)
{
    const int count = text ? MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) : 0;
    if (count <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], count);
    wide.resize(static_cast<size_t>(count - 1));
    return wide;
}

BOOL WideToAnsi(const WCHAR* text, int length, CString* ansi, UINT codePage)
{
    if (!text || !ansi)
        return FALSE;
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (length == 0) {
        ansi->Empty();
        return TRUE;
    }
    if (codePage == CP_ACP)
        codePage = GetACP();
    // UTF-8 holds every character but refuses a lone surrogate only when
    // asked to; other code pages tell whether they had to substitute, once
    // the look-alike ("best fit") substitutes are switched off as well.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL substituted = FALSE;
    BOOL* used = utf8 ? nullptr : &substituted;
    const int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, used);
    if (size <= 0 || substituted)
        return FALSE;
    std::string buffer(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text, length, &buffer[0], size, nullptr, used) != size || substituted)
        return FALSE;
    // An embedded NUL would cut the text short.
    const CString converted(buffer.data(), size);
    if (converted.GetLength() != size)
        return FALSE;
    *ansi = converted;
    return TRUE;
}
