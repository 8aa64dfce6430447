// CDesktopInformationPage: the desktop as it is now (both
// wallpapers, the background colour, the display style).
#pragma once

#include "framework/PropertySheet.h"

class CDesktopInformationPage : public CPropertyPage {
public:
    CDesktopInformationPage();

protected:
    BOOL OnSetActive() override;
};
