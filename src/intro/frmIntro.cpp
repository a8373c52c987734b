// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmIntro.h"

#include "IntroLinks.h"
#include "skin/SkinBlit.h"

#include <QDesktopServices>
#include <QUrl>

frmIntro::frmIntro()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Quendel"));
    setFixedSize(kClientSize);

    Picture1 = new PictureBox(this, QRect(0, 0, 617, 401));
    Picture1->Click = [this] { Picture1_Click(); };
    Picture1->DblClick = [this] { Picture1_DblClick(); };

    Label1 = new LabelControl(Picture1, QRect(420, 372, 177, 17), QStringLiteral("Version: 0.0.0"));
    Label1->setFont(BoldSansFont(9.75));
    Label1->setForeColor(Qt::white);
    Label1->Click = [this] { Label1_Click(); };

    // The link cursor points with the tip of its index finger.
    const QImage cursorImage(QStringLiteral(":/images/linkcursor.png"));
    const QCursor linkCursor = cursorImage.isNull()
                                   ? QCursor(Qt::PointingHandCursor)
                                   : QCursor(QPixmap::fromImage(cursorImage), 11, 1);
    Image1 = new MouseArea(Picture1, QRect(162, 344, 217, 25));
    Image2 = new MouseArea(Picture1, QRect(162, 368, 315, 25));
    for (MouseArea* link : {Image1, Image2})
        link->setCursor(linkCursor);
    Image1->Click = [this] { Image1_Click(); };
    Image2->Click = [this] { Image2_Click(); };
}

QString frmIntro::VersionText()
{
    return QStringLiteral("Version: ") + QStringLiteral(QUENDEL_VERSION);
}

void frmIntro::Form_Load()
{
    Picture1->setPicture(QImage(QStringLiteral(":/images/intro.png")));
    CenterWindow(*this);
    MakeTopmost(*this);
    Label1->setText(VersionText());
}

void frmIntro::Image1_Click()
{
    OpenInBrowser(QString::fromLatin1(kWebSiteAddress));
}
void frmIntro::Image2_Click()
{
    OpenInBrowser(QString::fromLatin1(kSoftwarePageAddress));
}
void frmIntro::Label1_Click()
{
    Unload();
}
void frmIntro::Picture1_Click()
{
    Unload();
}
void frmIntro::Picture1_DblClick()
{
    Unload();
}

void OpenInBrowser(const QString& address)
{
    QUrl url = QUrl::fromUserInput(address);
    if (url.scheme() == QStringLiteral("http")) // a bare host name: ask for the secure page
        url.setScheme(QStringLiteral("https"));
    QDesktopServices::openUrl(url);
}
