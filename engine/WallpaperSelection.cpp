#include "engine/WallpaperSelection.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Conversion.h"
#include "framework/File.h"
#include "framework/Handles.h"
#include "settings/Settings.h"

namespace {

struct FolderEntry {
    CString name;
    CString path;
    std::wstring wideName;
    BOOL isDirectory;
};

std::wstring WideName(const CString& name)
{
    const int count = MultiByteToWideChar(CP_ACP, 0, name, name.GetLength(), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_ACP, 0, name, name.GetLength(), &wide[0], count);
    return wide;
}

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

struct DirectoryId {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator<(const DirectoryId& other) const
    {
        return std::tie(volume, indexHigh, indexLow) < std::tie(other.volume, other.indexHigh, other.indexLow);
    }
};

class CWallpaperScan {
public:
    CWallpaperScan(CStringArray* list, BOOL acceptAllFiles)
        : m_list(list), m_acceptAllFiles(acceptAllFiles), m_convertPictures(FALSE)
    {
        // Read once for the whole scan: the list reflects the setting as it
        // is at the moment of the change.
        if (!acceptAllFiles) {
            DWORD convert = 0;
            ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CONVERT_TO_BMP, &convert);
            m_convertPictures = convert != 0;
        }
    }

    void ScanFolder(const CString& folder)
    {
        if (!FirstVisit(folder))
            return;

        std::vector<FolderEntry> entries;
        {
            CFileFind finder;
            BOOL more = finder.FindFile(folder + "\\*.*");
            while (more) {
                more = finder.FindNextFile();
                if (finder.IsDots())
                    continue;
                FolderEntry entry;
                entry.name = finder.GetFileName();
                entry.isDirectory = finder.IsDirectory();
                if (!entry.isDirectory && !Accepts(entry.name))
                    continue;
                entry.path = finder.GetFilePath();
                entry.wideName = WideName(entry.name);
                entries.push_back(std::move(entry));
            }
        }
        std::sort(entries.begin(), entries.end(), ComesBefore);

        for (const FolderEntry& entry : entries) {
            if (entry.isDirectory)
                ScanFolder(entry.path);
            else
                m_list->Add(entry.path);
        }
    }

private:
    BOOL Accepts(const CString& name) const
    {
        if (m_acceptAllFiles || HasFileEnding(name, ".bmp"))
            return TRUE;
        return m_convertPictures && (HasFileEnding(name, ".jpg") || HasFileEnding(name, ".gif"));
    }

    // FALSE when the directory was scanned before under any name.  A folder
    // that cannot be identified is scanned; the length limit of paths still
    // ends any descent through it.
    BOOL FirstVisit(const CString& folder)
    {
        CFileHandle directory(CreateFileA(folder, FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!directory || !GetFileInformationByHandle(directory.Get(), &info))
            return TRUE;
        const DirectoryId id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
        return m_visited.insert(id).second;
    }

    CStringArray* m_list;
    BOOL m_acceptAllFiles;
    BOOL m_convertPictures;
    std::set<DirectoryId> m_visited;
};

}  // namespace

void CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles)
{
    // An empty folder text would mean the root of the current drive, a scan
    // of the whole disk on every change.
    if (!list || folder.IsEmpty())
        return;
    CWallpaperScan scan(list, acceptAllFiles);
    scan.ScanFolder(folder);
}
