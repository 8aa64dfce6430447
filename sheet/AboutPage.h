// CAboutTapestrixPage: the first page of the settings sheet: the product's
// version and the maker's contact points.
#pragma once

#include "framework/PropertySheet.h"

class CAboutTapestrixPage : public CPropertyPage {
public:
    CAboutTapestrixPage();

protected:
    BOOL OnSetActive() override;
};
