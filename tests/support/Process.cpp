#include "Process.h"

#include <shellapi.h>

#include <cstring>

#include "Dialogs.h"
#include "res/resource.h"

namespace tpx::test {

bool PatchImport(const char* function, const void* replacement, void* original)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && dll->Name; ++dll)
        for (auto *name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk),
                  *slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
             name->u1.AddressOfData; ++name, ++slot)
            if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                !std::strcmp(reinterpret_cast<PIMAGE_IMPORT_BY_NAME>(base + name->u1.AddressOfData)->Name, function)) {
                DWORD protect = 0;
                VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protect);
                std::memcpy(original, &slot->u1.Function, sizeof(void*));
                std::memcpy(&slot->u1.Function, &replacement, sizeof(void*));
                VirtualProtect(&slot->u1.Function, sizeof(void*), protect, &protect);
                return true;
            }
    return false;
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const std::string& exePath, const std::string& args)
{
    Kill();
    std::string line = "\"" + exePath + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{sizeof si};
    const std::string dir = exePath.substr(0, exePath.find_last_of('\\'));
    return CreateProcessA(exePath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si,
                          &m_pi) != FALSE;
}

bool ChildProcess::IsRunning() const
{
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* code)
{
    if (!m_pi.hProcess)
        return false;
    const bool ended = WaitFor([this] { return !IsRunning(); }, timeoutMs);
    if (ended && code)
        GetExitCodeProcess(m_pi.hProcess, code);
    return ended;
}

void ChildProcess::Kill()
{
    if (!m_pi.hProcess)
        return;
    TerminateProcess(m_pi.hProcess, 1);  // refused once it has ended
    WaitForSingleObject(m_pi.hProcess, 5000);
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
    m_pi = PROCESS_INFORMATION{};
}

HWND MainDialogOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", "Tapestrix"))
        if (!IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

HWND SettingsSheetOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", nullptr, true))
        if (FindWindowExA(hwnd, nullptr, "SysTabControl32", nullptr))
            return hwnd;
    return nullptr;
}

bool TrayHasIcon(HWND owner, DWORD timeoutMs)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = 128;
    return WaitFor([&] { return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE; }, timeoutMs);
}

std::string NormalWallpaper()
{
    return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper").value_or("(none)");
}

RunningTapestrix::RunningTapestrix(bool ownSettings)
    : m_keepAlive(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
{
    if (ownSettings) {
        m_settings.emplace();
        m_settings->Set("MinimizeOnStartup", 1);
    }
}

RunningTapestrix::~RunningTapestrix()
{
    if (m_process.IsRunning())
        Exit();
    DestroyWindow(m_keepAlive);
}

bool RunningTapestrix::Start(const std::string& exePath)
{
    m_dialog = nullptr;
    return m_process.Start(exePath) &&
           WaitFor([&] { return (m_dialog = MainDialogOf(m_process.Pid())) || !m_process.IsRunning(); }, 15000) &&
           m_dialog;
}

bool RunningTapestrix::Exit()
{
    Command(ID_EXIT);
    DWORD code = 1;
    return m_process.WaitExit(10000, &code) && code == 0;
}

HWND RunningTapestrix::OpenSettings(DWORD timeoutMs) const
{
    Command(ID_OPEN_SETTINGS);
    HWND sheet = nullptr;
    WaitFor([&] { return (sheet = SettingsSheetOf(m_process.Pid())) != nullptr; }, timeoutMs);
    return sheet;
}

}  // namespace tpx::test
