// Typed reads and writes of the registry values the Active Desktop object
// keeps.  Strings are wide: the object's interface is, and nothing is lost
// on the way to the registry.  Open keys are owned by CRegKeyHandle.
#pragma once

#include "framework/Handles.h"

namespace activedesktop {

LONG OpenKey(HKEY root, LPCWSTR subKey, CRegKeyHandle* key, REGSAM access = KEY_READ);
LONG CreateKey(HKEY root, LPCWSTR subKey, CRegKeyHandle* key, REGSAM access = KEY_READ | KEY_WRITE);

// Reads a REG_SZ (or REG_EXPAND_SZ, expanded) into buffer[cch], always
// NUL-terminated.  A value of another type, or one that does not fit,
// counts as missing: a truncated path would name some other file.
bool QueryString(HKEY key, LPCWSTR name, LPWSTR buffer, DWORD cch);
bool QueryBinary(HKEY key, LPCWSTR name, void* data, DWORD* size);
bool QueryDword(HKEY key, LPCWSTR name, DWORD* value);

LONG SetString(HKEY key, LPCWSTR name, LPCWSTR value);
LONG SetDword(HKEY key, LPCWSTR name, DWORD value);
LONG SetBinary(HKEY key, LPCWSTR name, const void* data, DWORD size);

}  // namespace activedesktop
