#include "engine/WallpaperSelection.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Conversion.h"
#include "framework/Handles.h"
#include "settings/Settings.h"

namespace {

struct FolderEntry {
    std::wstring wideName;
    CString name;
    BOOL isDirectory;
    BOOL isLink;           // a reparse point: a symbolic link or junction
    LONGLONG fileId;
};

// NTFS order: upper-cased ordinal comparison; names equal but for case
// (only on case-sensitive file systems) by plain ordinal order.
bool ComesBefore(const FolderEntry& a, const FolderEntry& b)
{
    const int order = CompareStringOrdinal(a.wideName.c_str(), static_cast<int>(a.wideName.size()),
                                           b.wideName.c_str(), static_cast<int>(b.wideName.size()), TRUE);
    if (order != CSTR_EQUAL)
        return order == CSTR_LESS_THAN;
    return a.wideName < b.wideName;
}

// A directory as the file system knows it, whatever path leads there.
struct DirectoryId {
    DWORD volume;
    LONGLONG index;
    bool operator<(const DirectoryId& other) const
    {
        return std::tie(volume, index) < std::tie(other.volume, other.index);
    }
};

class CFolderWalk {
public:
    CFolderWalk(const FolderFileVisitor& visit, const FolderFileFilter& accept, BOOL shortNamesForUnmappable,
                const std::atomic<bool>* stop)
        : m_visit(visit), m_accept(accept), m_bShortNames(shortNamesForUnmappable), m_stop(stop),
          m_codePage(AreFileApisANSI() ? GetACP() : GetOEMCP()), m_buffer(8192)
    {
    }

    void ScanTop(const CString& folder)
    {
        CFileHandle directory = Open(folder);
        if (!directory)
            return;
        // A folder of unknown identity is scanned all the same.
        DirectoryId id = {};
        if (Identify(directory.Get(), &id))
            m_visited.insert(id);
        Scan(folder, std::move(directory), id.volume);
    }

private:
    // Lists one open folder, then walks its entries in order; `volume` is the
    // volume the folder lies on.
    void Scan(const CString& folder, CFileHandle directory, DWORD volume)
    {
        std::vector<FolderEntry> entries;
        if (!ReadEntries(directory.Get(), &entries))
            return;
        directory.Reset();  // not held open while the sub-folders are walked
        std::sort(entries.begin(), entries.end(), ComesBefore);

        // A folder text ending in a backslash (a drive's root) gets no second one.
        const CString prefix = folder.Right(1) == "\\" ? folder : folder + "\\";
        const size_t prefixLength = WideLength(prefix);
        for (const FolderEntry& entry : entries) {
            if (IsStopped())
                return;
            if (!entry.isDirectory) {
                // A path with no room for its NUL in MAX_PATH reaches neither
                // the ANSI file functions nor the shell's wallpaper: not listed.
                if (prefixLength + entry.wideName.size() < MAX_PATH)
                    m_visit(folder, entry.name);
                continue;
            }
            const CString path = prefix + entry.name;
            if (!entry.isLink && IsKnownIndex(entry.fileId)) {
                // An ordinary sub-folder lies on this volume; its listing gave
                // its identity.
                if (m_visited.insert(DirectoryId{volume, entry.fileId}).second)
                    Scan(path, Open(path), volume);
            } else {
                // A link is followed to the folder it leads to, which may be
                // an ancestor or one scanned before; a folder whose listing
                // gave no identity is asked for it the same way.
                CFileHandle target = Open(path);
                DirectoryId id = {};
                if (!target)
                    continue;
                if (!Identify(target.Get(), &id)) {
                    // Unknown: scanned; the length limit of paths still ends
                    // any descent through a link.
                    Scan(path, std::move(target), volume);
                } else if (m_visited.insert(id).second) {
                    Scan(path, std::move(target), id.volume);
                }
            }
        }
    }

    bool IsStopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    static CFileHandle Open(const CString& folder)
    {
        return CFileHandle(CreateFileA(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    }

    // Some file systems (network redirectors among them) report the same
    // file index, 0 or -1, for every entry: such an index identifies nothing.
    static bool IsKnownIndex(LONGLONG index) { return index != 0 && index != -1; }

    // FALSE when the folder's identity is unknown; the volume is filled in
    // whenever the system answered.
    static BOOL Identify(HANDLE directory, DirectoryId* id)
    {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(directory, &info))
            return FALSE;
        id->volume = info.dwVolumeSerialNumber;
        id->index = static_cast<LONGLONG>((static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
        return IsKnownIndex(id->index);
    }

    // The folder's entries that count, with their file identities.  The
    // listing comes through the open handle rather than a find-first search,
    // so that each folder is opened once and sub-folders need no opening of
    // their own to be recognised.
    BOOL ReadEntries(HANDLE directory, std::vector<FolderEntry>* entries)
    {
        FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
        for (;;) {
            if (IsStopped())
                return FALSE;
            if (!GetFileInformationByHandleEx(directory, request, m_buffer.data(),
                                              static_cast<DWORD>(m_buffer.size() * sizeof m_buffer[0])))
                return GetLastError() == ERROR_NO_MORE_FILES;
            request = FileIdBothDirectoryInfo;
            const BYTE* record = reinterpret_cast<const BYTE*>(m_buffer.data());
            for (;;) {
                const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
                AddEntry(*info, entries);
                if (!info->NextEntryOffset)
                    break;
                record += info->NextEntryOffset;
            }
        }
    }

    void AddEntry(const FILE_ID_BOTH_DIR_INFO& info, std::vector<FolderEntry>* entries) const
    {
        const int length = static_cast<int>(info.FileNameLength / sizeof(WCHAR));
        const WCHAR* name = info.FileName;
        if ((length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.'))
            return;
        FolderEntry entry;
        // A name the code page cannot express exactly (it would come back
        // with "?" or a look-alike and open nothing) is given by its short
        // name where the caller allows it and the file system keeps one that
        // converts; otherwise the entry is no path of ours and is left out.
        if (!WideToAnsi(name, length, &entry.name, m_codePage) &&
            !(m_bShortNames && info.ShortNameLength &&
              WideToAnsi(info.ShortName, static_cast<int>(info.ShortNameLength / sizeof(WCHAR)), &entry.name,
                         m_codePage)))
            return;
        // An empty name would stand for the folder itself.
        if (entry.name.IsEmpty())
            return;
        entry.isDirectory = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!entry.isDirectory && m_accept && !m_accept(entry.name))
            return;
        entry.isLink = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.fileId = info.FileId.QuadPart;
        entry.wideName.assign(name, static_cast<size_t>(length));
        entries->push_back(std::move(entry));
    }

    // Characters of a path as the file functions count them, in UTF-16.
    size_t WideLength(const CString& path) const
    {
        const int length = MultiByteToWideChar(m_codePage, 0, path, -1, nullptr, 0);
        return length > 0 ? static_cast<size_t>(length - 1) : static_cast<size_t>(path.GetLength());
    }

    const FolderFileVisitor& m_visit;
    const FolderFileFilter& m_accept;
    BOOL m_bShortNames;
    const std::atomic<bool>* m_stop;
    UINT m_codePage;
    std::vector<LONGLONG> m_buffer;  // 64 KB listing buffer, 8-byte aligned
    std::set<DirectoryId> m_visited;
};

}  // namespace

CString JoinFolderPath(const CString& folder, const CString& name)
{
    // A folder text ending in a backslash (a drive's root) gets no second one.
    return folder.Right(1) == "\\" ? folder + name : folder + "\\" + name;
}

void WalkFolderTree(const CString& folder, const FolderFileVisitor& visit, const FolderFileFilter& accept,
                    BOOL shortNamesForUnmappable, const std::atomic<bool>* stop)
{
    if (folder.IsEmpty() || !visit)
        return;
    CFolderWalk walk(visit, accept, shortNamesForUnmappable, stop);
    walk.ScanTop(folder);
}

void CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles)
{
    // An empty folder text would mean the root of the current drive, a scan
    // of the whole disk on every change.
    if (!list || folder.IsEmpty())
        return;
    // Paths are listed in full, as the folder's full path joined with the
    // names, whatever the current directory is.
    char fullPath[TPX_MAX_PATH_BYTES * 2];
    const DWORD length = GetFullPathNameA(folder, sizeof fullPath, fullPath, nullptr);
    if (length == 0 || length >= sizeof fullPath)
        return;
    // Read once for the whole scan: the list reflects the setting as it is
    // at the moment of the change.
    BOOL convertPictures = FALSE;
    if (!acceptAllFiles)
        convertPictures = ReadAppDword(AppSetting::ConvertToBmp) != 0;
    const FolderFileFilter accept = [acceptAllFiles, convertPictures](const CString& name) {
        if (acceptAllFiles || HasFileEnding(name, ".bmp"))
            return true;
        return convertPictures && (HasFileEnding(name, ".jpg") || HasFileEnding(name, ".gif"));
    };
    WalkFolderTree(CString(fullPath),
                   [list](const CString& holder, const CString& name) { list->Add(JoinFolderPath(holder, name)); },
                   accept, TRUE);
}
