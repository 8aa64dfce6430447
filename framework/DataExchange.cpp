#include "framework/DataExchange.h"

#include <cstdio>

#include "framework/App.h"
#include "framework/Controls.h"

namespace {

const char kNotANumber[] = "Please enter a whole number.";

CString ControlText(HWND control)
{
    CString text;
    const int length = control ? ::GetWindowTextLengthA(control) : 0;
    if (length > 0) {
        ::GetWindowTextA(control, text.GetBuffer(length), length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

// A strict whole number: digits only, after blanks; no sign, no overflow.
BOOL ParseWholeNumber(LPCSTR text, DWORD* value)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    ULONGLONG n = 0;
    const char* digits = text;
    for (; *text >= '0' && *text <= '9'; ++text) {
        n = n * 10 + static_cast<ULONGLONG>(*text - '0');
        if (n > 0xFFFFFFFFull)
            return FALSE;
    }
    while (*text == ' ' || *text == '\t')
        ++text;
    if (text == digits || *text != '\0')
        return FALSE;
    *value = static_cast<DWORD>(n);
    return TRUE;
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int id)
{
    m_hLastControl = ::GetDlgItem(m_hDialog, id);
    return m_hLastControl;
}

void CDataExchange::Fail(LPCSTR message)
{
    m_bFailed = TRUE;
    if (message) {
        // Owned by the dialog's top-level window (the sheet), so it is modal
        // over what the user is working in.
        HWND owner = ::GetAncestor(m_hDialog, GA_ROOT);
        CWinApp* app = AfxGetApp();
        TpxMessageBoxEx(owner, message, app ? app->m_pszAppName : "Tapestrix",
                        MB_OK | MB_ICONEXCLAMATION, LANG_NEUTRAL);
    }
    if (m_hLastControl) {
        ::SetFocus(m_hLastControl);
        ::SendMessageA(m_hLastControl, EM_SETSEL, 0, -1);
    }
}

void DDX_Control(CDataExchange* dx, int id, CSubclassWnd& control)
{
    if (!control.GetSafeHwnd())
        control.SubclassWindow(::GetDlgItem(dx->m_hDialog, id));
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = ControlText(control);
    else if (control)
        ::SetWindowTextA(control, value);
}

void DDX_Text(CDataExchange* dx, int id, DWORD& value)
{
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        if (!ParseWholeNumber(ControlText(control), &value))
            dx->Fail(kNotANumber);
    } else if (control) {
        char text[16];
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(value));
        ::SetWindowTextA(control, text);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = -1;
    // The group: the radio buttons from this one up to the next WS_GROUP;
    // other controls in between do not count.
    int index = 0;
    for (HWND button = control; button; button = ::GetWindow(button, GW_HWNDNEXT)) {
        if (button != control && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value)
{
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

void DDV_MinMaxDWord(CDataExchange* dx, DWORD value, DWORD minimum, DWORD maximum)
{
    if (dx->Failed() || !dx->m_bSaveAndValidate)
        return;
    if (value >= minimum && value <= maximum)
        return;
    char message[96];
    std::snprintf(message, sizeof message, "Please enter a whole number from %lu to %lu.",
                  static_cast<unsigned long>(minimum), static_cast<unsigned long>(maximum));
    dx->Fail(message);
}

DWORD ParseDecimalSaturated(LPCSTR text, DWORD maximum)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '+')
        ++text;
    ULONGLONG n = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        n = n * 10 + static_cast<ULONGLONG>(*text - '0');
        if (n >= maximum)
            return maximum;
    }
    return static_cast<DWORD>(n);
}
