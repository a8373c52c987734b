// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Form.h"
#include "skin/LabelControl.h"
#include "skin/PictureBox.h"

// The about box: the intro picture, the version, and two links to the maker's pages.
class frmIntro : public Form {
public:
    static constexpr QSize kClientSize{615, 400};

    frmIntro();

    PictureBox* Picture1 = nullptr; // the intro picture
    LabelControl* Label1 = nullptr; // "Version: " major.minor.patch
    MouseArea* Image1 = nullptr;    // link to the web site
    MouseArea* Image2 = nullptr;    // link to the software page

    void Form_Load() override;
    void Image1_Click();
    void Image2_Click();
    void Label1_Click();
    void Picture1_Click();
    void Picture1_DblClick();

    static QString VersionText();
};

// Opens an address in the user's browser; a host name without a scheme becomes https.
void OpenInBrowser(const QString& address);
