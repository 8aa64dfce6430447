#include "engine/WallpaperSelection.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/Conversion.h"
#include "framework/Handles.h"
#include "settings/Settings.h"

namespace {

// One entry of a folder's listing; its names lie in the listing's buffers.
struct FolderEntry {
    UINT name;        // offset of the NUL-ended name in the code page
    UINT nameLength;  // bytes
    UINT wideName;    // offset of the UTF-16 name, for the order and the length limit
    UINT wideLength;
    BOOL isDirectory;
    BOOL isLink;  // a reparse point: a symbolic link or junction
    LONGLONG fileId;
};

// One folder's entries; the walk keeps one per depth and reuses it, so a
// file costs no allocation of its own.
struct FolderListing {
    std::vector<FolderEntry> entries;
    std::string names;
    std::wstring wideNames;
};

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
        Scan(folder, std::move(directory), id.volume, 0);
    }

private:
    // Lists one open folder, then walks its entries in order; `volume` is the
    // volume the folder lies on, `depth` its distance from the top.
    void Scan(const CString& folder, CFileHandle directory, DWORD volume, size_t depth)
    {
        if (m_listings.size() <= depth)
            m_listings.emplace_back(new FolderListing);
        FolderListing& listing = *m_listings[depth];
        listing.entries.clear();
        listing.names.clear();
        listing.wideNames.clear();
        if (!ReadEntries(directory.Get(), &listing))
            return;
        directory.Reset();  // not held open while the sub-folders are walked
        // NTFS order: upper-cased ordinal comparison; names equal but for
        // case (only on case-sensitive file systems) by plain ordinal order.
        const WCHAR* wide = listing.wideNames.data();
        const auto comesBefore = [wide](const FolderEntry& a, const FolderEntry& b) {
            const int order = CompareStringOrdinal(wide + a.wideName, static_cast<int>(a.wideLength),
                                                   wide + b.wideName, static_cast<int>(b.wideLength), TRUE);
            if (order != CSTR_EQUAL)
                return order == CSTR_LESS_THAN;
            return std::wstring_view(wide + a.wideName, a.wideLength) <
                   std::wstring_view(wide + b.wideName, b.wideLength);
        };
        if (!std::is_sorted(listing.entries.begin(), listing.entries.end(), comesBefore))
            std::sort(listing.entries.begin(), listing.entries.end(), comesBefore);

        const UINT number = m_nFolders++;
        // A folder text ending in a backslash (a drive's root) gets no second one.
        const CString prefix = folder.Right(1) == "\\" ? folder : folder + "\\";
        const size_t prefixLength = WideLength(prefix);
        for (const FolderEntry& entry : listing.entries) {
            if (IsStopped())
                return;
            const LPCSTR name = listing.names.data() + entry.name;
            if (!entry.isDirectory) {
                // A path with no room for its NUL in MAX_PATH reaches neither
                // the ANSI file functions nor the shell's wallpaper: not listed.
                if (prefixLength + entry.wideLength < MAX_PATH)
                    m_visit(CFoundFile{folder, number, name, static_cast<int>(entry.nameLength)});
                continue;
            }
            const CString path = prefix + name;
            if (!entry.isLink && IsKnownIndex(entry.fileId)) {
                // An ordinary sub-folder lies on this volume; its listing gave
                // its identity.
                if (m_visited.insert(DirectoryId{volume, entry.fileId}).second)
                    Scan(path, Open(path), volume, depth + 1);
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
                    Scan(path, std::move(target), volume, depth + 1);
                } else if (m_visited.insert(id).second) {
                    Scan(path, std::move(target), id.volume, depth + 1);
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
    BOOL ReadEntries(HANDLE directory, FolderListing* listing)
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
                AddEntry(*info, listing);
                if (!info->NextEntryOffset)
                    break;
                record += info->NextEntryOffset;
            }
        }
    }

    void AddEntry(const FILE_ID_BOTH_DIR_INFO& info, FolderListing* listing) const
    {
        const int length = static_cast<int>(info.FileNameLength / sizeof(WCHAR));
        const WCHAR* name = info.FileName;
        if ((length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.'))
            return;
        // A name the code page cannot express exactly (it would come back
        // with "?" or a look-alike and open nothing) is given by its short
        // name where the caller allows it and the file system keeps one that
        // converts; otherwise the entry is no path of ours and is left out.
        std::string& names = listing->names;
        const size_t at = names.size();
        int size = Convert(name, length, &names, at);
        if (size <= 0 && m_bShortNames && info.ShortNameLength)
            size = Convert(info.ShortName, static_cast<int>(info.ShortNameLength / sizeof(WCHAR)), &names, at);
        const BOOL isDirectory = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // An empty name would stand for the folder itself.
        if (size <= 0 || (!isDirectory && m_accept && !m_accept(names.data() + at))) {
            names.resize(at);
            return;
        }
        FolderEntry entry;
        entry.name = static_cast<UINT>(at);
        entry.nameLength = static_cast<UINT>(size);
        entry.wideName = static_cast<UINT>(listing->wideNames.size());
        entry.wideLength = static_cast<UINT>(length);
        entry.isDirectory = isDirectory;
        entry.isLink = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.fileId = info.FileId.QuadPart;
        listing->wideNames.append(name, static_cast<size_t>(length));
        listing->entries.push_back(entry);
    }

    // One conversion of a name into `names` at `at`, NUL-ended; its length in
    // bytes, or 0 when the code page cannot hold it exactly (the buffer is
    // then cut back).  The rules are WideToAnsi's: UTF-8 refuses a broken
    // surrogate, other code pages any substitute or look-alike.
    int Convert(const WCHAR* wide, int length, std::string* names, size_t at) const
    {
        // Four bytes a UTF-16 unit is the most any code page needs.
        names->resize(at + static_cast<size_t>(length) * 4 + 1);
        const bool utf8 = m_codePage == CP_UTF8;
        BOOL substituted = FALSE;
        const int size = length > 0 ? WideCharToMultiByte(m_codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS,
                                                          wide, length, &(*names)[at], length * 4, nullptr,
                                                          utf8 ? nullptr : &substituted)
                                    : 0;
        // An embedded NUL would cut the name short.
        if (size <= 0 || substituted || std::memchr(names->data() + at, 0, static_cast<size_t>(size))) {
            names->resize(at);
            return 0;
        }
        names->resize(at + static_cast<size_t>(size) + 1);
        (*names)[at + static_cast<size_t>(size)] = '\0';
        return size;
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
    std::vector<std::unique_ptr<FolderListing>> m_listings;  // one per depth
    std::set<DirectoryId> m_visited;
    UINT m_nFolders = 0;
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
    const FolderFileFilter accept = [acceptAllFiles, convertPictures](LPCSTR name) {
        if (acceptAllFiles || HasFileEnding(name, ".bmp"))
            return true;
        return convertPictures && (HasFileEnding(name, ".jpg") || HasFileEnding(name, ".gif"));
    };
    WalkFolderTree(CString(fullPath),
                   [list](const CFoundFile& file) { list->Add(JoinFolderPath(file.folder, file.name)); },
                   accept, TRUE);
}
