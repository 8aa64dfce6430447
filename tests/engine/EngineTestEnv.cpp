#include "EngineTestEnv.h"

#include <mmsystem.h>

#include <cstdio>

namespace tpx::test {

// ---------------------------------------------------------------- application

BOOL RecordingMainWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_TIMER) {
        timers.push_back({static_cast<UINT_PTR>(wParam), GetTickCount()});
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

TestApplication::TestApplication() : CWinApp("Tapestrix")
{
    const RECT rect = {0, 0, 100, 100};
    mainWnd.CreateEx(0, nullptr, "Tapestrix engine test", WS_OVERLAPPEDWINDOW, rect, nullptr, 0);
    m_pMainWnd = &mainWnd;
}

TestApplication::~TestApplication()
{
    m_pMainWnd = nullptr;
    mainWnd.DestroyWindow();
}

// ---------------------------------------------------------------- shell windows

ShellWindow::ShellWindow(const char* className, bool visible) : m_class(className)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = m_class.c_str();
    RegisterClassA(&wc);
    m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, m_class.c_str(), nullptr, WS_POPUP | (visible ? WS_VISIBLE : 0), 0,
                             0, 10, 10, nullptr, nullptr, wc.hInstance, this);
    SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

ShellWindow::~ShellWindow()
{
    Destroy();
    UnregisterClassA(m_class.c_str(), GetModuleHandleA(nullptr));
}

void ShellWindow::Destroy()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

LRESULT CALLBACK ShellWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<ShellWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_COMMAND && self) {
        self->commands.push_back(wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------- side effects

namespace {

struct Recording {
    std::vector<AdCall>* log = nullptr;
    HWND mainWindow = nullptr;
    HWND taskbar = nullptr;
    HWND desktop = nullptr;
    ImportHook* playSound = nullptr;
    ImportHook* setTimer = nullptr;
    ImportHook* killTimer = nullptr;
    ImportHook* postMessage = nullptr;
    ImportHook* showWindow = nullptr;
};
Recording g_recording;

void Log(const char* method, DWORD size, DWORD value, const std::string& text = {})
{
    if (!g_recording.log)
        return;
    AdCall call;
    call.method = method;
    call.size = size;
    call.value = value;
    call.text = Wide(text);
    g_recording.log->push_back(call);
}

BOOL WINAPI RecordPlaySound(LPCSTR sound, HMODULE module, DWORD flags)
{
    const bool isResourceId = IS_INTRESOURCE(sound);
    Log("PlaySoundA", isResourceId ? static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(sound)) : 0, flags,
        module == GetModuleHandleA(nullptr) ? "self" : "other module");
    return g_recording.playSound->Original<decltype(&PlaySoundA)>()(sound, module, flags);
}

UINT_PTR WINAPI RecordSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (hwnd == g_recording.mainWindow)
        Log("SetTimer", static_cast<DWORD>(id), elapse, proc ? "proc" : "");
    return g_recording.setTimer->Original<decltype(&SetTimer)>()(hwnd, id, elapse, proc);
}

BOOL WINAPI RecordKillTimer(HWND hwnd, UINT_PTR id)
{
    if (hwnd == g_recording.mainWindow)
        Log("KillTimer", static_cast<DWORD>(id), 0);
    return g_recording.killTimer->Original<decltype(&KillTimer)>()(hwnd, id);
}

BOOL WINAPI RecordPostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == g_recording.taskbar && message == WM_COMMAND)
        Log("PostCommand", static_cast<DWORD>(lParam), static_cast<DWORD>(wParam));
    return g_recording.postMessage->Original<decltype(&PostMessageA)>()(hwnd, message, wParam, lParam);
}

BOOL WINAPI RecordShowWindow(HWND hwnd, int show)
{
    if (hwnd == g_recording.desktop)
        Log("ShowWindow", 0, static_cast<DWORD>(show));
    return g_recording.showWindow->Original<decltype(&ShowWindow)>()(hwnd, show);
}

}  // namespace

SideEffectRecorder::SideEffectRecorder(std::vector<AdCall>* log, HWND mainWindow, HWND taskbar, HWND desktop)
{
    g_recording.log = log;
    g_recording.mainWindow = mainWindow;
    g_recording.taskbar = taskbar;
    g_recording.desktop = desktop;
    m_playSound = std::make_unique<ImportHook>("winmm.dll", "PlaySoundA", reinterpret_cast<void*>(RecordPlaySound));
    m_setTimer = std::make_unique<ImportHook>("user32.dll", "SetTimer", reinterpret_cast<void*>(RecordSetTimer));
    m_killTimer = std::make_unique<ImportHook>("user32.dll", "KillTimer", reinterpret_cast<void*>(RecordKillTimer));
    m_postMessage =
        std::make_unique<ImportHook>("user32.dll", "PostMessageA", reinterpret_cast<void*>(RecordPostMessage));
    m_showWindow = std::make_unique<ImportHook>("user32.dll", "ShowWindow", reinterpret_cast<void*>(RecordShowWindow));
    g_recording.playSound = m_playSound.get();
    g_recording.setTimer = m_setTimer.get();
    g_recording.killTimer = m_killTimer.get();
    g_recording.postMessage = m_postMessage.get();
    g_recording.showWindow = m_showWindow.get();
}

SideEffectRecorder::~SideEffectRecorder()
{
    m_playSound.reset();
    m_setTimer.reset();
    m_killTimer.reset();
    m_postMessage.reset();
    m_showWindow.reset();
    g_recording = Recording();
}

bool SideEffectRecorder::Installed() const
{
    return m_playSound->Installed() && m_setTimer->Installed() && m_killTimer->Installed() &&
           m_postMessage->Installed() && m_showWindow->Installed();
}

// ---------------------------------------------------------------- registry

EngineRegistryScope::EngineRegistryScope()
{
    DeleteKeyTree(HKEY_CURRENT_USER, kAppKey);
    CreateKey(HKEY_CURRENT_USER, kAppKey);
    CreateKey(HKEY_CURRENT_USER, kGeneralKey);
}

void EngineRegistryScope::Set(const std::string& name, DWORD value) const
{
    SetRegDword(HKEY_CURRENT_USER, kAppKey, name, value);
}

void EngineRegistryScope::Set(const std::string& name, const std::string& value) const
{
    SetRegString(HKEY_CURRENT_USER, kAppKey, name, value);
}

namespace {

int g_registryOpens = 0;
ImportHook* g_registryHook = nullptr;

LONG WINAPI CountRegOpenKeyEx(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    ++g_registryOpens;
    return g_registryHook->Original<decltype(&RegOpenKeyExA)>()(root, subKey, options, access, result);
}

}  // namespace

RegistryOpenCounter::RegistryOpenCounter()
    : m_hook("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(CountRegOpenKeyEx))
{
    g_registryOpens = 0;
    g_registryHook = &m_hook;
}

RegistryOpenCounter::~RegistryOpenCounter()
{
    g_registryHook = nullptr;
}

int RegistryOpenCounter::Count() const
{
    return g_registryOpens;
}

}  // namespace tpx::test
