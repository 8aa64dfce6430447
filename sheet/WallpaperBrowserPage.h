// CWallpaperBrowserPage: the wallpaper folder and the files
// found in it, with a thumbnail preview.
#pragma once

#include "framework/PropertySheet.h"

class CWallpaperBrowserPage : public CPropertyPage {
public:
    CWallpaperBrowserPage();

protected:
    BOOL OnSetActive() override;
};
