#include "activedesktop/Registry.h"

#include <cwchar>

namespace activedesktop {

LONG OpenKey(HKEY root, LPCWSTR subKey, CRegKeyHandle* key, REGSAM access)
{
    return RegOpenKeyExW(root, subKey, 0, access, key->Receive());
}

LONG CreateKey(HKEY root, LPCWSTR subKey, CRegKeyHandle* key, REGSAM access)
{
    return RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, key->Receive(), nullptr);
}

bool QueryString(HKEY key, LPCWSTR name, LPWSTR buffer, DWORD cch)
{
    if (!key || !buffer || cch == 0)
        return false;
    buffer[0] = L'\0';
    DWORD type = 0;
    DWORD bytes = cch * sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = L'\0';
        return false;
    }
    // The stored text need not end in a NUL; it must still fit with one.
    const DWORD chars = bytes / sizeof(WCHAR);
    if (chars == 0 || buffer[chars - 1] != L'\0') {
        if (chars >= cch) {
            buffer[0] = L'\0';
            return false;
        }
        buffer[chars] = L'\0';
    }
    if (type == REG_EXPAND_SZ) {
        WCHAR expanded[MAX_PATH * 2];
        const DWORD n = ExpandEnvironmentStringsW(buffer, expanded, MAX_PATH * 2);
        if (n == 0 || n > MAX_PATH * 2 || n > cch) {
            buffer[0] = L'\0';
            return false;
        }
        wcscpy(buffer, expanded);
    }
    return true;
}

bool QueryBinary(HKEY key, LPCWSTR name, void* data, DWORD* size)
{
    DWORD type = 0;
    return key &&
           RegQueryValueExW(key, name, nullptr, &type, static_cast<BYTE*>(data), size) == ERROR_SUCCESS &&
           type == REG_BINARY;
}

bool QueryDword(HKEY key, LPCWSTR name, DWORD* value)
{
    DWORD type = 0, data = 0, size = sizeof data;
    if (!key ||
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return false;
    *value = data;
    return true;
}

LONG SetString(HKEY key, LPCWSTR name, LPCWSTR value)
{
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

LONG SetDword(HKEY key, LPCWSTR name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG SetBinary(HKEY key, LPCWSTR name, const void* data, DWORD size)
{
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

}  // namespace activedesktop
