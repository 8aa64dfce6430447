#include "framework/PropertySheet.h"

#include <cstring>

#include "framework/App.h"

namespace {

// The sheet whose window PropertySheetA is about to create: the creation
// hook hands the new window to it.  One at a time per thread, only for the
// duration of the call.
thread_local CPropertySheet* t_sheetBeingCreated = nullptr;

// The resource type of a dialog's initial list entries, as resource editors
// write it: per entry the control id, the message (in its 16-bit numbering),
// the byte count as a DWORD and the bytes; a 0 id ends the list.
const WORD kDialogInitType = 240;
const WORD kInitListAddString = 0x0401;
const WORD kInitComboAddString = 0x0403;

void RunDialogInit(HWND dialog, UINT templateId)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(kDialogInitType));
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    DWORD at = 0;
    while (data && at + 2 <= size) {
        WORD id = 0, message = 0;
        DWORD length = 0;
        std::memcpy(&id, data + at, 2);
        if (id == 0 || at + 8 > size)
            break;
        std::memcpy(&message, data + at + 2, 2);
        std::memcpy(&length, data + at + 4, 4);
        at += 8;
        if (length > size - at)
            break;
        // Only NUL-terminated texts are added.
        const char* text = reinterpret_cast<const char*>(data + at);
        if (length > 0 && text[length - 1] == '\0') {
            if (message == kInitComboAddString)
                ::SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            else if (message == kInitListAddString)
                ::SendDlgItemMessageA(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        at += length;
    }
}

}  // namespace

// ---------------------------------------------------------------- CPropertyPage

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId, nullptr)
{
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = PageDialogProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK CPropertyPage::PageDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The common controls hand over their copy of the page record; its
    // lParam is still the page object.
    CDialog* linkAtInit = nullptr;
    if (message == WM_INITDIALOG && lParam)
        linkAtInit = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
    return RouteDialogMessage(linkAtInit, hWnd, message, wParam, lParam);
}

BOOL CPropertyPage::UpdateData(BOOL saveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(m_hWnd, saveAndValidate);
    const BOOL wasFilling = m_bFillingControls;
    if (!saveAndValidate)
        m_bFillingControls = TRUE;
    DoDataExchange(&dx);
    m_bFillingControls = wasFilling;
    return !dx.Failed();
}

BOOL CPropertyPage::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CPropertyPage::DoDataExchange(CDataExchange*) {}

BOOL CPropertyPage::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnSetActive()
{
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

BOOL CPropertyPage::GetTemplateSize(SIZE* dialogUnits) const
{
    HRSRC found = ::FindResourceA(m_psp.hInstance, m_psp.pszTemplate, RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(m_psp.hInstance, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(m_psp.hInstance, found) : 0;
    if (!data || size < 4 || !dialogUnits)
        return FALSE;
    // The extended form (version 1, then 0xFFFF) puts its help id and one
    // more style before the count and position.
    WORD signature = 0;
    std::memcpy(&signature, data + 2, 2);
    const DWORD at = signature == 0xFFFF ? 22 : 14;
    short cx = 0, cy = 0;
    if (size < at + 4)
        return FALSE;
    std::memcpy(&cx, data + at, 2);
    std::memcpy(&cy, data + at + 2, 2);
    dialogUnits->cx = cx;
    dialogUnits->cy = cy;
    return TRUE;
}

BOOL CPropertyPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        RunDialogInit(m_hWnd, m_nIDTemplate);
        const BOOL handled = CDialog::OnWndMsg(message, wParam, lParam, result);
        if (m_pSheet)
            m_pSheet->OnPageCreated(this);
        return handled;
    }
    if (message == WM_NOTIFY && lParam) {
        switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
            *result = OnSetActive() ? 0 : -1;
            return TRUE;
        case PSN_KILLACTIVE:
            *result = OnKillActive() ? FALSE : TRUE;
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

// ---------------------------------------------------------------- CPropertySheet

CPropertySheet::CPropertySheet(LPCSTR caption, CWnd* parent, UINT selectPage)
    : m_strCaption(caption ? caption : ""), m_nStartPage(selectPage)
{
    m_psh.dwSize = sizeof(m_psh);
    m_psh.hwndParent = parent ? parent->GetSafeHwnd() : nullptr;
    m_psh.hInstance = AfxGetResourceHandle();
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page)
        return;
    page->m_pSheet = this;
    m_pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

HWND CPropertySheet::GetTabControl() const
{
    return m_hWnd ? reinterpret_cast<HWND>(SendMessage(PSM_GETTABCONTROL)) : nullptr;
}

int CPropertySheet::GetActiveIndex() const
{
    HWND tab = GetTabControl();
    return tab ? static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0)) : -1;
}

BOOL CPropertySheet::SetActivePage(int index)
{
    if (!m_hWnd || !GetPage(index))
        return FALSE;
    return static_cast<BOOL>(SendMessage(PSM_SETCURSEL, static_cast<WPARAM>(index), 0));
}

LRESULT CALLBACK CPropertySheet::CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_sheetBeingCreated) {
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        char className[16] = "";
        ::GetClassNameA(hWnd, className, sizeof className);
        // The sheet is the first dialog window of the call; its pages and
        // controls come after it.
        if (std::strcmp(className, "#32770") == 0 && !(::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD)) {
            CPropertySheet* sheet = t_sheetBeingCreated;
            t_sheetBeingCreated = nullptr;
            sheet->SubclassWindow(hWnd);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CPropertySheet::DoModal()
{
    if (m_hWnd || m_pages.empty())
        return -1;
    std::vector<PROPSHEETPAGEA> records;
    for (CPropertyPage* page : m_pages)
        records.push_back(page->m_psp);
    m_psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_MODELESS;
    m_psh.pszCaption = m_strCaption;
    m_psh.nPages = static_cast<UINT>(records.size());
    // A remembered page that no longer exists opens the first one.
    m_psh.nStartPage = m_nStartPage < records.size() ? m_nStartPage : 0;
    m_psh.ppsp = records.data();

    t_sheetBeingCreated = this;
    CHookHandle hook(::SetWindowsHookExA(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId()));
    HWND hWnd = reinterpret_cast<HWND>(::PropertySheetA(&m_psh));
    hook.Reset();
    t_sheetBeingCreated = nullptr;
    if (!hWnd || hWnd == reinterpret_cast<HWND>(-1) || m_hWnd != hWnd) {
        if (hWnd && hWnd != reinterpret_cast<HWND>(-1))
            ::DestroyWindow(hWnd);
        return -1;
    }

    HWND parent = m_psh.hwndParent;
    const BOOL parentEnabled = parent && ::IsWindowEnabled(parent);
    if (parentEnabled)
        ::EnableWindow(parent, FALSE);
    ::ShowWindow(hWnd, SW_SHOW);

    // Closing the sheet (close box, Escape) leaves it without a current page.
    MSG msg{};
    while (m_hWnd && SendMessage(PSM_GETCURRENTPAGEHWND) != 0) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // The program is ending: the outer loop must see the quit too.
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : -1);
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }

    if (parentEnabled) {
        ::EnableWindow(parent, TRUE);
        ::SetActiveWindow(parent);
    }
    if (::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
    return IDCANCEL;
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg)
{
    if (!m_hWnd || !msg)
        return FALSE;
    return static_cast<BOOL>(SendMessage(PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(msg)));
}

BOOL CPropertySheet::OnInitDialog()
{
    return static_cast<BOOL>(Default());
}

void CPropertySheet::OnPageCreated(CPropertyPage*) {}

BOOL CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    return CSubclassWnd::OnWndMsg(message, wParam, lParam, result);
}
