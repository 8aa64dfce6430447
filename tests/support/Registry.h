// Registry for tests: reading and writing single values, and areas that are
// captured and put back exactly after a test (the program's key with the
// shell's values it touches).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tpx::test {

inline constexpr char kAppKey[] = "Software\\Brindlecourt\\Tapestrix";
inline constexpr char kGeneralKey[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\General";
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";

void DeleteKeyTree(HKEY root, const std::string& subKey);
bool KeyExists(HKEY root, const std::string& subKey);
bool SetRegString(HKEY root, const std::string& subKey, const std::string& name, const std::string& value);
bool SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value);
bool SetRegBinary(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                  const void* data, DWORD size);
std::optional<std::string> GetRegString(HKEY root, const std::string& subKey, const std::string& name);
std::optional<DWORD> GetRegDword(HKEY root, const std::string& subKey, const std::string& name);
std::optional<DWORD> GetRegType(HKEY root, const std::string& subKey, const std::string& name);
bool DeleteRegValue(HKEY root, const std::string& subKey, const std::string& name);

// Captures a key's whole subtree (or its absence) and puts it back exactly
// at destruction, so a test may change the shell's and the program's values.
// A key that existed is restored in place, never deleted and recreated.
class RegistrySnapshot {
public:
    RegistrySnapshot(HKEY root, std::string subKey);
    ~RegistrySnapshot();
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

private:
    HKEY m_root;
    std::string m_subKey;
    std::string m_copy;
    bool m_existed = false;
};

// The program's own key, emptied for one test and restored afterwards,
// together with the shell values the program reads and writes.
class AppRegistryScope {
public:
    explicit AppRegistryScope(bool createAppKey = true);
    void Set(const std::string& name, DWORD value) const;
    void Set(const std::string& name, const std::string& value) const;

private:
    RegistrySnapshot m_app{HKEY_CURRENT_USER, kAppKey};
    RegistrySnapshot m_general{HKEY_CURRENT_USER, kGeneralKey};
    RegistrySnapshot m_desktop{HKEY_CURRENT_USER, kDesktopKey};
};

}  // namespace tpx::test
