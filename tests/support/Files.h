// Files and folders for tests: a temporary folder removed with everything in
// it, whole-file reads and writes, and a file moved out of the way for a while.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tpx::test {

// A fresh folder under %TEMP%, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool WriteFileText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
bool MakeDirs(const std::string& path);  // creates every missing level
void RemoveTree(const std::string& path);
std::string ExeDir();                     // folder of the running test program

// Moves a file away for the guard's lifetime and puts it back after (a test
// that needs the help file beside the programs to be missing, for instance).
class FileSetAside {
public:
    explicit FileSetAside(std::string path);
    ~FileSetAside();
    FileSetAside(const FileSetAside&) = delete;
    FileSetAside& operator=(const FileSetAside&) = delete;

private:
    std::string m_path;
};

}  // namespace tpx::test
