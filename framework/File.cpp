#include "framework/File.h"

#include <algorithm>
#include <cstring>

namespace {

struct ErrorCause {
    LONG osError;
    int cause;
};

const ErrorCause kCauses[] = {
    {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
    {ERROR_PATH_NOT_FOUND, CFileException::badPath},
    {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
    {ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_INVALID_HANDLE, CFileException::fileNotFound},
    {ERROR_BAD_FORMAT, CFileException::invalidFile},
    {ERROR_INVALID_ACCESS, CFileException::badSeek},
    {ERROR_INVALID_DRIVE, CFileException::badPath},
    {ERROR_CURRENT_DIRECTORY, CFileException::removeCurrentDir},
    {ERROR_NOT_SAME_DEVICE, CFileException::badPath},
    {ERROR_NO_MORE_FILES, CFileException::fileNotFound},
    {ERROR_WRITE_PROTECT, CFileException::accessDenied},
    {ERROR_BAD_UNIT, CFileException::hardIO},
    {ERROR_NOT_READY, CFileException::hardIO},
    {ERROR_BAD_COMMAND, CFileException::hardIO},
    {ERROR_CRC, CFileException::hardIO},
    {ERROR_BAD_LENGTH, CFileException::badSeek},
    {ERROR_SEEK, CFileException::badSeek},
    {ERROR_NOT_DOS_DISK, CFileException::invalidFile},
    {ERROR_SECTOR_NOT_FOUND, CFileException::badSeek},
    {ERROR_WRITE_FAULT, CFileException::accessDenied},
    {ERROR_READ_FAULT, CFileException::badSeek},
    {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
    {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
    {ERROR_WRONG_DISK, CFileException::badPath},
    {ERROR_SHARING_BUFFER_EXCEEDED, CFileException::tooManyOpenFiles},
    {ERROR_HANDLE_EOF, CFileException::endOfFile},
    {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
    {ERROR_BAD_NETPATH, CFileException::badPath},
    {ERROR_NETWORK_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_BAD_NET_NAME, CFileException::badPath},
    {ERROR_FILE_EXISTS, CFileException::accessDenied},
    {ERROR_CANNOT_MAKE, CFileException::accessDenied},
    {ERROR_DRIVE_LOCKED, CFileException::lockViolation},
    {ERROR_DISK_FULL, CFileException::diskFull},
    {ERROR_NO_MORE_SEARCH_HANDLES, CFileException::tooManyOpenFiles},
    {ERROR_INVALID_NAME, CFileException::badPath},
    {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
    {ERROR_SEEK_ON_DEVICE, CFileException::badSeek},
    {ERROR_DIR_NOT_EMPTY, CFileException::removeCurrentDir},
    {ERROR_BAD_PATHNAME, CFileException::badPath},
    {ERROR_LOCK_FAILED, CFileException::lockViolation},
    {ERROR_BUSY, CFileException::accessDenied},
    {ERROR_ALREADY_EXISTS, CFileException::accessDenied},
    {ERROR_FILENAME_EXCED_RANGE, CFileException::badPath},
    {ERROR_DIRECTORY, CFileException::badPath},
};

// The texts users of the framework's file layer have always seen.
const char* CauseText(int cause)
{
    switch (cause) {
    case CFileException::none: return "No error occurred.";
    case CFileException::fileNotFound: return "%1 was not found.";
    case CFileException::badPath: return "%1 contains an invalid path.";
    case CFileException::tooManyOpenFiles:
        return "%1 could not be opened because there are too many open files.";
    case CFileException::accessDenied: return "Access to %1 was denied.";
    case CFileException::invalidFile: return "An invalid file handle was associated with %1.";
    case CFileException::removeCurrentDir:
        return "%1 could not be removed because it is the current directory.";
    case CFileException::directoryFull:
        return "%1 could not be created because the directory is full.";
    case CFileException::badSeek: return "Seek failed on %1";
    case CFileException::hardIO: return "A hardware I/O error was reported while accessing %1.";
    case CFileException::sharingViolation: return "A sharing violation occurred while accessing %1.";
    case CFileException::lockViolation: return "A locking violation occurred while accessing %1.";
    case CFileException::diskFull: return "Disk full while accessing %1.";
    case CFileException::endOfFile: return "An attempt was made to access %1 past its end.";
    default: return "An unknown error occurred while accessing %1.";
    }
}

}  // namespace

int CFileException::OsErrorToCause(LONG osError)
{
    for (const ErrorCause& entry : kCauses) {
        if (entry.osError == osError)
            return entry.cause;
    }
    return generic;
}

BOOL CFileException::GetErrorMessage(LPSTR error, UINT maxError, PUINT helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (!error || maxError == 0)
        return FALSE;

    const CString name = m_strFileName.IsEmpty() ? CString("an unnamed file") : m_strFileName;
    CString text;
    for (const char* p = CauseText(m_cause); *p; ++p) {
        if (p[0] == '%' && p[1] == '1') {
            text += name;
            ++p;
        } else {
            text += *p;
        }
    }
    // A file name in the message may be cut short, but not inside a character.
    const size_t length = static_cast<size_t>(CharacterBoundary(
        text, text.GetLength(), static_cast<int>(std::min<UINT>(maxError - 1, 0x7FFFFFFF))));
    memcpy(error, static_cast<LPCSTR>(text), length);
    error[length] = '\0';
    return TRUE;
}

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error)
{
    Close();
    if (error)
        *error = CFileException(CFileException::none, 0, fileName);
    if (!fileName || !*fileName) {
        if (error)
            *error = CFileException(CFileException::badPath, ERROR_INVALID_NAME, fileName);
        return FALSE;
    }

    DWORD access = GENERIC_READ;
    switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
    }

    DWORD share = 0;
    switch (openFlags & 0x70) {
    case shareCompat:
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: break;
    }

    DWORD disposition = OPEN_EXISTING;
    if (openFlags & modeCreate)
        disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, (openFlags & modeNoInherit) == 0};
    HANDLE file = CreateFileA(fileName, access, share, &security, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const LONG osError = static_cast<LONG>(GetLastError());
        if (error)
            *error = CFileException(CFileException::OsErrorToCause(osError), osError, fileName);
        return FALSE;
    }
    m_file.Reset(file);
    m_strFileName = fileName;
    return TRUE;
}

void CFile::Close()
{
    m_file.Reset();
    m_strFileName.Empty();
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(m_file.Get(), &size))
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!IsOpen() || !SetFilePointerEx(m_file.Get(), distance, &position, from))
        return 0;
    return static_cast<ULONGLONG>(position.QuadPart);
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!IsOpen() || !buffer || count == 0)
        return 0;
    if (!ReadFile(m_file.Get(), buffer, count, &read, nullptr))
        return 0;
    return read;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    if (!IsOpen() || (!buffer && count != 0))
        return FALSE;
    if (count == 0)
        return TRUE;
    DWORD written = 0;
    return WriteFile(m_file.Get(), buffer, count, &written, nullptr) && written == count;
}

BOOL CFileFind::FindFile(LPCSTR pattern)
{
    Close();
    if (!pattern || !*pattern)
        pattern = "*.*";

    m_find.Reset(FindFirstFileA(pattern, &m_next));
    if (!m_find.IsValid())
        return FALSE;
    m_bHaveNext = TRUE;

    // The folder part of the pattern, made absolute, so that GetFilePath
    // gives full paths whatever the current directory is later.
    char full[TPX_MAX_PATH_BYTES * 2];
    char* namePart = nullptr;
    const DWORD length = GetFullPathNameA(pattern, sizeof(full), full, &namePart);
    if (length == 0 || length >= sizeof(full)) {
        Close();
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    if (namePart)
        *namePart = '\0';
    m_strRoot = full;
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_find.IsValid() || !m_bHaveNext)
        return FALSE;
    m_found = m_next;
    m_bHaveCurrent = TRUE;
    m_bHaveNext = ::FindNextFileA(m_find.Get(), &m_next);
    return m_bHaveNext;
}

void CFileFind::Close()
{
    m_find.Reset();
    m_bHaveCurrent = FALSE;
    m_bHaveNext = FALSE;
    m_strRoot.Empty();
}

BOOL CFileFind::IsDots() const
{
    if (!m_bHaveCurrent || !IsDirectory())
        return FALSE;
    const char* name = m_found.cFileName;
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

BOOL CFileFind::MatchesMask(DWORD mask) const
{
    return m_bHaveCurrent && (m_found.dwFileAttributes & mask) != 0;
}

DWORD CFileFind::GetFileAttributes() const
{
    return m_bHaveCurrent ? m_found.dwFileAttributes : 0;
}

CString CFileFind::GetFileName() const
{
    return m_bHaveCurrent ? CString(m_found.cFileName) : CString();
}

CString CFileFind::GetFilePath() const
{
    if (!m_bHaveCurrent)
        return CString();
    CString path = m_strRoot;
    const char last = path.GetAt(path.GetLength() - 1);
    if (!path.IsEmpty() && last != '\\' && last != '/')
        path += '\\';
    return path + m_found.cFileName;
}

ULONGLONG CFileFind::GetLength() const
{
    if (!m_bHaveCurrent)
        return 0;
    return (static_cast<ULONGLONG>(m_found.nFileSizeHigh) << 32) | m_found.nFileSizeLow;
}
