#include "controls/ReadOnlyEdit.h"

BOOL CReadOnlyEdit::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    BOOL drop = FALSE;
    switch (message) {
    case WM_CHAR:
    case WM_UNICHAR:
    case WM_IME_CHAR:
    case WM_SETFOCUS:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
        drop = TRUE;
        break;
    case WM_KEYDOWN:
        // Delete, Shift+Delete (cut) and Shift+Insert (paste) act on the key
        // itself, not on a character.
        drop = wParam == VK_DELETE || (wParam == VK_INSERT && ::GetKeyState(VK_SHIFT) < 0);
        break;
    default:
        break;
    }
    if (drop) {
        *result = 0;
        return TRUE;
    }
    return CEdit::OnWndMsg(message, wParam, lParam, result);
}
