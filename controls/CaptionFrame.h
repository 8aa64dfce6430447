// CCaptionFrame: the settings pages' group boxes, drawn as an etched frame in
// the user's 3-D colours whose top line is broken by a caption in a font of
// the page's choosing.  A page binds a group box of its template to it and
// sets the caption font in its constructor.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Controls.h"
#include "framework/String.h"

// The caption font every settings page gives its frames: bold Arial,
// 9 points (lfHeight in tenths of a point, as SetCaptionFont reads it).
LOGFONTA PageCaptionFont();

class CCaptionFrame : public CButton {
public:
    CCaptionFrame();

    // `font.lfHeight` in tenths of a point.  Does not repaint.
    void SetCaptionFont(const LOGFONTA& font);
    void SetCaption(CString caption, BOOL redraw);
    // The caption font made again for a monitor of `dpi` (until then, for
    // the screen's).
    void SetDpi(UINT dpi);

    COLORREF m_crShadow;
    COLORREF m_crHighlight;
    COLORREF m_crShadowDisabled;
    COLORREF m_crHighlightDisabled;
    bool m_bHideCaption = false;
    int m_nLineWidth = 1;
    COLORREF m_crText = RGB(0, 0, 0);
    std::unique_ptr<CFont> m_pFont;
    CString m_strCaption;
    int m_nAlignment = BS_LEFT;
    int m_nIndent = 8;
    int m_nCaptionOffset = 0;
    RECT m_rectFrame{};

protected:
    void PreSubclassWindow() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint(HDC printDC);

private:
    // The button draws itself straight away on some state changes; the
    // parent's background and this frame are painted again over that.
    void RepaintOverDefault();

    LOGFONTA m_captionFont{};
    UINT m_nDpi = 0;
};
