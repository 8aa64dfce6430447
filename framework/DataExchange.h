// Data exchange between a dialog's controls and its members: one plain
// function per kind of value, called from the dialog's DoDataExchange in
// both directions.  CDataExchange says which way (into the controls, or back
// into the members with validation) and records the first failure: the
// functions after it do nothing, the user has been told, and the focus is on
// the control at fault.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CSubclassWnd;

class CDataExchange {
public:
    CDataExchange(HWND dialog, BOOL saveAndValidate)
        : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    HWND m_hDialog;
    // TRUE: controls into members, with validation; FALSE: members into
    // controls.
    BOOL m_bSaveAndValidate;

    BOOL Failed() const { return m_bFailed; }
    // The control the next validation refers to; returns it.
    HWND PrepareCtrl(int id);
    // Shows `message` (when given) and puts the focus on the prepared
    // control; the exchange counts as failed.
    void Fail(LPCSTR message);

private:
    HWND m_hLastControl = nullptr;
    BOOL m_bFailed = FALSE;
};

// Binds the control object to control `id` (only the first time).
void DDX_Control(CDataExchange* dx, int id, CSubclassWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
// A whole number of 0 or more; anything else refuses the save.
void DDX_Text(CDataExchange* dx, int id, DWORD& value);
// Check box: 0 clear, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* dx, int id, int& value);
// Radio group starting at `id` (a WS_GROUP button): the index of the checked
// one, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Current selection index of a combo box, -1 for none.
void DDX_CBIndex(CDataExchange* dx, int id, int& value);
// Range check of the number exchanged just before.
void DDV_MinMaxDWord(CDataExchange* dx, DWORD value, DWORD minimum, DWORD maximum);

// The number a decimal text stands for, saturated at `maximum`: digits after
// optional blanks and an optional '+'; a minus sign or no digits give 0.
// Unlike atoi, never undefined, negative or wrapped.
DWORD ParseDecimalSaturated(LPCSTR text, DWORD maximum);
