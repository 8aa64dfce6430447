// The modal loop of a window: what a popup menu runs while it is open.
#include "framework/App.h"
#include "framework/Wnd.h"

int CWnd::RunModalLoop(DWORD)
{
    m_bContinueModal = TRUE;
    m_nModalResult = -1;
    // Without a window nothing could ever end the loop.
    while (m_bContinueModal && m_hWnd && ::IsWindow(m_hWnd)) {
        MSG msg{};
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The outer loop must see the quit message too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_bContinueModal = FALSE;
            break;
        }
        if (got == -1)
            break;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_bContinueModal = FALSE;
    return m_nModalResult;
}

void CWnd::EndModalLoop(int result)
{
    m_nModalResult = result;
    m_bContinueModal = FALSE;
    // Wakes a loop that waits in GetMessage with nothing else to do.
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}
