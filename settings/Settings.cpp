#include "settings/Settings.h"

#include "framework/Handles.h"

namespace {

// Opens an existing key with full access; never creates one.
CRegKeyHandle OpenKey(HKEY root, LPCSTR subKey)
{
    CRegKeyHandle key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        key.Release();   // a failed open may leave anything in the handle
    return key;
}

BOOL SetValue(HKEY root, LPCSTR subKey, LPCSTR name, DWORD type, const void* data, DWORD size)
{
    if (!root || !subKey || !name || !data)
        return FALSE;
    CRegKeyHandle key = OpenKey(root, subKey);
    if (!key)
        return FALSE;
    return RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

}  // namespace

BOOL WriteSettingDword(HKEY root, LPCSTR subKey, LPCSTR name, DWORD value)
{
    return SetValue(root, subKey, name, REG_DWORD, &value, sizeof(value));
}

BOOL WriteSettingString(HKEY root, LPCSTR subKey, LPCSTR name, CString value)
{
    return SetValue(root, subKey, name, REG_SZ, static_cast<LPCSTR>(value),
                    static_cast<DWORD>(value.GetLength()) + 1);
}

BOOL WriteSettingText(HKEY root, LPCSTR subKey, LPCSTR name, LPCSTR text, DWORD length)
{
    if (!text)
        return FALSE;
    // Store exactly `length` characters and a NUL, even when the caller's
    // text is longer or its length ran past an embedded NUL.
    const CString stored(text, static_cast<int>(length > 0x7FFFFFF0u ? 0x7FFFFFF0u : length));
    return SetValue(root, subKey, name, REG_SZ, static_cast<LPCSTR>(stored),
                    static_cast<DWORD>(stored.GetLength()) + 1);
}

BOOL ReadSettingDword(HKEY root, LPCSTR subKey, LPCSTR name, DWORD* value)
{
    if (!root || !subKey || !name || !value)
        return FALSE;
    CRegKeyHandle key = OpenKey(root, subKey);
    if (!key)
        return FALSE;
    // Only a whole REG_DWORD is a number: the bytes of a string or of binary
    // data read as one would turn "30" seconds into 12339, so any other
    // value counts as missing and the caller's default stands.
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return FALSE;
    *value = data;
    return TRUE;
}

BOOL ReadSettingString(HKEY root, LPCSTR subKey, LPCSTR name, CString* value)
{
    if (!root || !subKey || !name || !value)
        return FALSE;
    CRegKeyHandle key = OpenKey(root, subKey);
    if (!key)
        return FALSE;
    // One byte beyond what the query may fill stays NUL, so text without
    // a terminator (binary data, a string stored without its NUL) still ends.
    // Only text is text: a number, binary data or a list of strings counts
    // as missing, and so does a value without a single byte.
    char buffer[TPX_SETTING_STRING_BYTES + 1] = {};
    DWORD size = TPX_SETTING_STRING_BYTES;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return FALSE;
    *value = buffer;
    return TRUE;
}

DWORD ReadAppDword(const CAppSetting& setting)
{
    DWORD value = setting.number;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, setting.name, &value);
    return value;
}

CString ReadAppString(const CAppSetting& setting)
{
    CString value(setting.text ? setting.text : "");
    ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, setting.name, &value);
    return value;
}

BOOL WriteAppDword(const CAppSetting& setting, DWORD value)
{
    return WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, setting.name, value);
}

BOOL WriteAppString(const CAppSetting& setting, const CString& value)
{
    return WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, setting.name, value);
}
