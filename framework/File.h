// File access for the program: CFile reads and writes one file through a
// Win32 handle, CFileException describes why opening failed (with the
// familiar "%1 was not found."-style texts), and CFileFind walks the entries
// of a folder matching a wildcard pattern.
//
// Nothing throws: Open returns FALSE and fills the exception record passed
// in, Write returns FALSE on a short or failed write.
#pragma once

#include <windows.h>

#include "framework/Handles.h"
#include "framework/String.h"

class CFileException {
public:
    enum {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException() = default;
    CFileException(int cause, LONG osError, const char* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

    // The cause the framework's file layer assigns to a Win32 error code.
    static int OsErrorToCause(LONG osError);

    // The user-facing text of the failure, with the file name filled in,
    // truncated to `maxError` - 1 characters and always NUL-terminated.
    BOOL GetErrorMessage(LPSTR error, UINT maxError, PUINT helpContext = nullptr) const;

    int m_cause = none;
    LONG m_lOsError = -1;
    CString m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    ~CFile() = default;   // the handle owner closes an open file
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens `fileName` with the mode and share flags above.  On failure the
    // exception record (when given) tells why, and the object stays closed.
    BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
    void Close();
    BOOL IsOpen() const { return m_file.IsValid(); }

    ULONGLONG GetLength() const;   // 0 when no file is open
    ULONGLONG Seek(LONGLONG offset, UINT from);
    // Bytes actually read; 0 at the end, on error or with no open file.
    UINT Read(void* buffer, UINT count);
    // TRUE when every byte was written.
    BOOL Write(const void* buffer, UINT count);

    const CString& GetFilePath() const { return m_strFileName; }
    HANDLE GetHandle() const { return m_file.Get(); }

private:
    CFileHandle m_file;
    CString m_strFileName;
};

class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search; a null pattern means "*.*".  TRUE when at least one
    // entry matches.  No entry is current until FindNextFile is called.
    BOOL FindFile(LPCSTR pattern = nullptr);
    // Makes the next entry current.  Returns FALSE when the entry just made
    // current is the last one (it is still valid to read), or when there was
    // none left at all.
    BOOL FindNextFile();
    void Close();

    BOOL IsDots() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL MatchesMask(DWORD mask) const;
    DWORD GetFileAttributes() const;
    CString GetFileName() const;
    CString GetFilePath() const;   // the searched folder joined with the name
    CString GetRoot() const { return m_strRoot; }
    ULONGLONG GetLength() const;

private:
    CFindHandle m_find;
    WIN32_FIND_DATAA m_found{};
    WIN32_FIND_DATAA m_next{};
    BOOL m_bHaveCurrent = FALSE;
    BOOL m_bHaveNext = FALSE;
    CString m_strRoot;   // the searched folder, ending in a separator
};
