// CRegKey: the one owner of an open registry key (RegCloseKey), with the
// few typed reads and writes the Active Desktop object needs.  Strings are
// wide: the object's interface is, and nothing is lost on the way to the
// registry.
#pragma once

#include <windows.h>

#include <cwchar>

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(CRegKey&& other) noexcept : m_hKey(other.m_hKey) { other.m_hKey = nullptr; }
    CRegKey& operator=(CRegKey&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_hKey = other.m_hKey;
            other.m_hKey = nullptr;
        }
        return *this;
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    LONG Open(HKEY root, LPCWSTR subKey, REGSAM access = KEY_READ)
    {
        Close();
        return RegOpenKeyExW(root, subKey, 0, access, &m_hKey);
    }
    LONG Create(HKEY root, LPCWSTR subKey, REGSAM access = KEY_READ | KEY_WRITE)
    {
        Close();
        return RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, &m_hKey, nullptr);
    }
    void Close()
    {
        if (m_hKey)
            RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
    HKEY Get() const { return m_hKey; }

    // Reads a REG_SZ (or REG_EXPAND_SZ, expanded) into buffer[cch], always
    // NUL-terminated.  A value of another type, or one that does not fit,
    // counts as missing: a truncated path would name some other file.
    bool QueryString(LPCWSTR name, LPWSTR buffer, DWORD cch) const
    {
        if (!m_hKey || !buffer || cch == 0)
            return false;
        buffer[0] = L'\0';
        DWORD type = 0;
        DWORD bytes = cch * sizeof(WCHAR);
        if (RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
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

    bool QueryBinary(LPCWSTR name, void* data, DWORD* size) const
    {
        DWORD type = 0;
        return m_hKey && RegQueryValueExW(m_hKey, name, nullptr, &type, static_cast<BYTE*>(data), size) ==
                             ERROR_SUCCESS && type == REG_BINARY;
    }

    bool QueryDword(LPCWSTR name, DWORD* value) const
    {
        DWORD type = 0, data = 0, size = sizeof data;
        if (!m_hKey ||
            RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof data)
            return false;
        *value = data;
        return true;
    }

    LONG SetString(LPCWSTR name, LPCWSTR value)
    {
        const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(WCHAR));
        return RegSetValueExW(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    }
    LONG SetDword(LPCWSTR name, DWORD value)
    {
        return RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    LONG SetBinary(LPCWSTR name, const void* data, DWORD size)
    {
        return RegSetValueExW(m_hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    }

private:
    HKEY m_hKey = nullptr;
};
