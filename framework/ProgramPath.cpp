#include "framework/ProgramPath.h"

#include <windows.h>
#include <shellapi.h>

CString GetProgramPath()
{
    // Asked in UTF-16: the A function cuts its answer at MAX_PATH bytes,
    // which a folder name in UTF-8 may need more of.
    WCHAR module[MAX_PATH] = L"";
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    CString program;
    // A cut-off path would name some other folder.
    if (length == 0 || length >= MAX_PATH || !WideToAnsi(module, static_cast<int>(length), &program))
        return CString();
    return program;
}

CString GetProgramFilePath(CString name)
{
    const CString program = GetProgramPath();
    const int slash = program.ReverseFind('\\');
    if (slash < 0)
        return CString();
    if (name.IsEmpty())
        return program.Left(slash);
    return program.Left(slash + 1) + name;
}

BOOL LaunchHelpFile()
{
    const HINSTANCE launched =
        ::ShellExecuteA(nullptr, nullptr, GetProgramFilePath("Tapestrix.chm"), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return reinterpret_cast<INT_PTR>(launched) > 32;
}
