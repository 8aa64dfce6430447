// CAboutTapestrixPage: the first page of the settings sheet: the product's
// version and the maker's contact points (a website and two e-mail
// addresses), each a link.  The version and the targets come from the
// settings when they are there; the page stores nothing but its index.
#pragma once

#include "controls/CaptionFrame.h"
#include "controls/HyperlinkLabel.h"
#include "framework/PropertySheet.h"

class CAboutTapestrixPage : public CPropertyPage {
public:
    CAboutTapestrixPage();

    CCaptionFrame m_frameVersion;
    CCaptionFrame m_frameContact;
    CHyperlinkLabel m_linkWebsite;
    CHyperlinkLabel m_linkSupport;
    CHyperlinkLabel m_linkComments;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};
