#include "Dialogs.h"

#include <algorithm>
#include <cstring>

namespace tpx::test {

void PumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        PumpMessages(10);
    }
    return true;
}

static DialogAnswerer* g_answerer;  // the hook has no user data

DialogAnswerer::DialogAnswerer(int fallback) : m_fallback(fallback)
{
    g_answerer = this;
    m_hook = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    g_answerer = nullptr;
}

LRESULT CALLBACK DialogAnswerer::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_answerer)
        g_answerer->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogAnswerer::OnActivate(HWND hwnd)
{
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0)
        return;
    if (std::find(m_handled.begin(), m_handled.end(), hwnd) != m_handled.end())
        return;  // activated again: answered already
    m_handled.push_back(hwnd);
    DialogSeen d = ReadDialog(hwnd);
    d.answer = m_handler ? m_handler(hwnd, d) : m_fallback;
    m_seen.push_back(d);
    if (d.answer)
        PressButton(hwnd, d.answer);
}

DialogSeen ReadDialog(HWND hwnd)
{
    char caption[4096] = {}, text[4096] = {};
    GetWindowTextA(hwnd, caption, sizeof caption);
    GetWindowTextA(GetDlgItem(hwnd, 0xFFFF), text, sizeof text);
    return {caption, text};
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// EnumWindows, not a FindWindowEx walk: a window closed during the walk
// would end it early.
std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className, const char* title, bool visibleOnly)
{
    std::vector<HWND> all, found;
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    for (HWND hwnd : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        char cls[256] = {}, text[512] = {};
        if (owner != pid || (visibleOnly && !IsWindowVisible(hwnd)))
            continue;
        if ((!className || (GetClassNameA(hwnd, cls, sizeof cls) && !std::strcmp(cls, className))) &&
            (!title || (GetWindowTextA(hwnd, text, sizeof text), !std::strcmp(text, title))))
            found.push_back(hwnd);
    }
    return found;
}

HWND WaitForDialogOf(DWORD pid, DWORD timeoutMs)
{
    std::vector<HWND> shown;
    WaitFor([&] { return !(shown = WindowsOfProcess(pid, "#32770", nullptr, true)).empty(); }, timeoutMs);
    return shown.empty() ? nullptr : shown.front();
}

}  // namespace tpx::test
