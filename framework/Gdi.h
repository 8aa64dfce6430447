// Device contexts for painting: CDC wraps one HDC it does not own, CPaintDC
// brackets a WM_PAINT (or WM_PRINTCLIENT) with BeginPaint / EndPaint.
#pragma once

#include <windows.h>

class CWnd;

class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    BOOL DrawIcon(int x, int y, HICON icon);
};

// The paint context of one WM_PAINT.  Given a device context (the one of a
// WM_PRINTCLIENT), it paints into that instead, so both messages can share
// one paint routine.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd, HDC printDC = nullptr);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd = nullptr;
    BOOL m_bBegun = FALSE;
};

// Pixels per logical inch of `window` (the DPI of its monitor where the
// system tells it per window, else the screen's; 96 when neither answers),
// and a length given for 96 DPI scaled to `dpi`.
UINT GetWindowDpi(HWND window);
inline int ScaleForDpi(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), 96); }
