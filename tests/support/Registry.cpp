#include "Registry.h"

#include <algorithm>

#include "framework/Handles.h"

namespace tpx::test {

void DeleteKeyTree(HKEY root, const std::string& subKey)
{
    RegDeleteTreeA(root, subKey.c_str());
}

bool KeyExists(HKEY root, const std::string& subKey)
{
    CRegKeyHandle key;
    return RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
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
                                                      DWORD* type = nullptr)
{
    CRegKeyHandle key;
    DWORD size = 0;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.Get(), name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<uint8_t> data(size);
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

std::optional<std::string> GetRegString(HKEY root, const std::string& subKey, const std::string& name)
{
    const auto data = QueryValue(root, subKey, name);
    if (!data)
        return std::nullopt;
    return std::string(data->begin(), std::find(data->begin(), data->end(), 0));
}

std::optional<DWORD> GetRegDword(HKEY root, const std::string& subKey, const std::string& name)
{
    const auto data = QueryValue(root, subKey, name);
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
    m_existed = KeyExists(m_root, m_subKey);
    CRegKeyHandle copy;
    if (m_existed && RegCreateKeyA(HKEY_CURRENT_USER, m_copy.c_str(), copy.Receive()) == ERROR_SUCCESS)
        RegCopyTreeA(m_root, m_subKey.c_str(), copy.Get());
}

// A key that existed is emptied and filled again, never deleted: the system
// keeps some keys open in every process (Wine's "Control Panel\Desktop" is
// its win.ini section), and a deleted and recreated key is a different key.
RegistrySnapshot::~RegistrySnapshot()
{
    CRegKeyHandle key;
    if (!m_existed) {
        DeleteKeyTree(m_root, m_subKey);
    } else if (RegCreateKeyA(m_root, m_subKey.c_str(), key.Receive()) == ERROR_SUCCESS) {
        RegDeleteTreeA(key.Get(), nullptr);
        RegCopyTreeA(HKEY_CURRENT_USER, m_copy.c_str(), key.Get());
    }
    DeleteKeyTree(HKEY_CURRENT_USER, m_copy);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TpxTestSnapshots");  // once the last copy is gone
}

AppRegistryScope::AppRegistryScope(bool createAppKey)
{
    DeleteKeyTree(HKEY_CURRENT_USER, kAppKey);
    CRegKeyHandle key;
    if (createAppKey)
        RegCreateKeyA(HKEY_CURRENT_USER, kAppKey, key.Receive());
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
