// Windows and dialogs for tests: pumping this thread's messages while waiting,
// answering this thread's dialogs without a person, and reading and pressing
// the dialogs and windows of another process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tpx::test {

// Dispatches this thread's messages for at least `ms` milliseconds.
void PumpMessages(DWORD ms = 0);
// Pumps messages until `pred` holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

struct DialogSeen {
    std::string caption;
    std::string text;    // the message box's text (static control 0xFFFF)
    int answer = 0;      // the button pressed
};

// Answers every dialog (class "#32770": message boxes, common dialogs) that
// this thread creates, from a WH_CBT hook, and records what it saw.  Each
// dialog is answered with `fallback`, unless a custom handler acts on it
// (fills a file name, ...) and returns the button to press.
class DialogAnswerer {
public:
    explicit DialogAnswerer(int fallback = IDOK);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    void SetHandler(std::function<int(HWND, const DialogSeen&)> handler) { m_handler = std::move(handler); }
    const std::vector<DialogSeen>& Seen() const { return m_seen; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND hwnd);

    HHOOK m_hook = nullptr;
    int m_fallback;
    std::vector<DialogSeen> m_seen;
    std::vector<HWND> m_handled;
    std::function<int(HWND, const DialogSeen&)> m_handler;
};

// Reads a dialog's caption and message text (any process).
DialogSeen ReadDialog(HWND hwnd);
// Presses a button of a dialog (any process).
void PressButton(HWND dialog, int id);

// Top-level windows of a process, optionally filtered by class and title.
std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className = nullptr,
                                   const char* title = nullptr, bool visibleOnly = false);
// Waits for a visible "#32770" window of the process (a message box, say).
HWND WaitForDialogOf(DWORD pid, DWORD timeoutMs = 10000);

}  // namespace tpx::test
