#include "Files.h"

#include <fstream>
#include <iterator>
#include <utility>

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
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            const std::string part = path.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

// In UTF-16: a name of many non-Latin characters overflows the A find data.
static void RemoveTreeW(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A link to a folder is removed as a link, never followed.
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTreeW(full);
            else if (!DeleteFileW(full.c_str()))
                RemoveDirectoryW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path)
{
    std::wstring wide(path.size() + 1, L'\0');
    const int count = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (count <= 1)
        return;
    wide.resize(static_cast<size_t>(count - 1));
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
    std::string s = path;
    const size_t slash = s.find_last_of('\\');
    return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

}  // namespace tpx::test
