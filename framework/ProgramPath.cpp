#include "framework/ProgramPath.h"

#include <windows.h>
#include <shellapi.h>

CString GetProgramFilePath(CString name)
{
    char module[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    // A cut-off path would name some other folder.
    if (length == 0 || length >= MAX_PATH)
        return CString();

    const CString program(module);
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
