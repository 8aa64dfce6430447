#include "Registry.h"

namespace tpx::test {

void DeleteKeyTree(HKEY root, const std::string& subKey)
{
    RegDeleteTreeA(root, subKey.c_str());
}

bool KeyExists(HKEY root, const std::string& subKey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Creates the key where it is missing.
bool SetRegBinary(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                  const void* data, DWORD size)
{
    return RegSetKeyValueA(root, subKey.c_str(), name.c_str(), type, data, size) == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::string& subKey, const std::string& name, const std::string& value)
{
    return SetRegBinary(root, subKey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value)
{
    return SetRegBinary(root, subKey, name, REG_DWORD, &value, sizeof value);
}

// A value of any type, as stored.
static std::optional<std::vector<uint8_t>> QueryValue(HKEY root, const std::string& subKey, const std::string& name,
                                                      DWORD* type)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD size = 0;
    std::optional<std::vector<uint8_t>> data;
    if (RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size) == ERROR_SUCCESS) {
        data.emplace(size);
        if (RegQueryValueExA(key, name.c_str(), nullptr, type, data->data(), &size) == ERROR_SUCCESS)
            data->resize(size);
        else
            data.reset();
    }
    RegCloseKey(key);
    return data;
}

std::optional<std::string> GetRegString(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    const auto data = QueryValue(root, subKey, name, &type);
    if (!data)
        return std::nullopt;
    const std::string s(data->begin(), data->end());
    return s.substr(0, s.find('\0'));
}

std::optional<DWORD> GetRegDword(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    const auto data = QueryValue(root, subKey, name, &type);
    if (!data || data->size() < sizeof(DWORD))
        return std::nullopt;
    return *reinterpret_cast<const DWORD*>(data->data());
}

std::optional<DWORD> GetRegType(HKEY root, const std::string& subKey, const std::string& name)
{
    DWORD type = 0;
    if (!QueryValue(root, subKey, name, &type))
        return std::nullopt;
    return type;
}

bool DeleteRegValue(HKEY root, const std::string& subKey, const std::string& name)
{
    return RegDeleteKeyValueA(root, subKey.c_str(), name.c_str()) == ERROR_SUCCESS;
}

// The copy lives in a scratch key of the test's own until it is put back.
RegistrySnapshot::RegistrySnapshot(HKEY root, std::string subKey) : m_root(root), m_subKey(std::move(subKey))
{
    static unsigned counter;
    m_copy = "Software\\TpxTestSnapshots\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    HKEY key, copy;
    if (RegOpenKeyExA(m_root, m_subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    m_existed = true;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_copy.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy, nullptr) ==
        ERROR_SUCCESS) {
        RegCopyTreeA(key, nullptr, copy);
        RegCloseKey(copy);
    }
    RegCloseKey(key);
}

// A key that existed is emptied and filled again, never deleted: the system
// keeps some keys open in every process (Wine's "Control Panel\Desktop" is
// its win.ini section), and a deleted and recreated key is a different key.
RegistrySnapshot::~RegistrySnapshot()
{
    HKEY key, copy;
    if (!m_existed) {
        DeleteKeyTree(m_root, m_subKey);
    } else if (RegCreateKeyExA(m_root, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
               ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        if (RegOpenKeyExA(HKEY_CURRENT_USER, m_copy.c_str(), 0, KEY_READ, &copy) == ERROR_SUCCESS) {
            RegCopyTreeA(copy, nullptr, key);
            RegCloseKey(copy);
        }
        RegCloseKey(key);
    }
    DeleteKeyTree(HKEY_CURRENT_USER, m_copy);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TpxTestSnapshots");  // once the last copy is gone
}

AppRegistryScope::AppRegistryScope(bool createAppKey)
{
    DeleteKeyTree(HKEY_CURRENT_USER, kAppKey);
    HKEY key;
    if (createAppKey && RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void AppRegistryScope::Set(const std::string& name, DWORD value) const
{
    SetRegDword(HKEY_CURRENT_USER, kAppKey, name, value);
}

void AppRegistryScope::Set(const std::string& name, const std::string& value) const
{
    SetRegString(HKEY_CURRENT_USER, kAppKey, name, value);
}

}  // namespace tpx::test
