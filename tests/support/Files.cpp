#include "Files.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "framework/Handles.h"

namespace tpx::test {

// A unique name from the system, the file it makes there replaced by a folder.
TempDir::TempDir()
{
    char base[MAX_PATH], name[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    if (GetTempFileNameA(base, "tpx", 0, name) && DeleteFileA(name) && CreateDirectoryA(name, nullptr))
        m_path = name;
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    return out.write(static_cast<const char*>(data), std::streamsize(size)).flush().good();
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirs(const std::string& path)
{
    const int result = SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

// In UTF-16: a name of many non-Latin characters overflows the A find data.
static void RemoveTreeW(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    CFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &fd));
    for (BOOL more = find.IsValid(); more; more = FindNextFileW(find.Get(), &fd)) {
        const std::wstring name = fd.cFileName, full = path + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A link to a folder is removed as a link, never followed.
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveTreeW(full);
        else if (!DeleteFileW(full.c_str()))
            RemoveDirectoryW(full.c_str());
    }
    find.Reset();
    RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path)
{
    std::wstring wide(path.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, path.data(), int(path.size()), &wide[0], int(wide.size()))));
    if (!wide.empty())
        RemoveTreeW(wide);
}

FileSetAside::FileSetAside(std::string path) : m_path(std::move(path))
{
    MoveFileExA(m_path.c_str(), (m_path + ".away").c_str(), MOVEFILE_REPLACE_EXISTING);
}

FileSetAside::~FileSetAside()
{
    MoveFileExA((m_path + ".away").c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ExeDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

}  // namespace tpx::test
