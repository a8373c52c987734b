// SPDX-License-Identifier: GPL-3.0-or-later
#include "intro/IntroLinks.h"
#include "intro/frmIntro.h"
#include "support/ProgramFolder.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Stands in for the browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(Intro, ShowsTheVersionAsThreeNumbers)
{
    ProgramFolder folder;
    frmIntro& intro = TheForm<frmIntro>();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version: \\d+\\.\\d+\\.\\d+$"))
                    .match(intro.Label1->text())
                    .hasMatch());
    EXPECT_EQ(intro.size(), QSize(615, 400));
    EXPECT_TRUE(intro.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(Intro, LinksOpenTheBrowserAndStayOpenWhileThePictureCloses)
{
    ProgramFolder folder;
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    frmIntro& intro = TheForm<frmIntro>();
    bool stillOpenAfterLinks = false;
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(intro.Image1, Qt::LeftButton);
        QTest::mouseClick(intro.Image2, Qt::LeftButton);
        stillOpenAfterLinks = intro.isVisible();
        QTest::mouseClick(intro.Picture1, Qt::LeftButton, {}, QPoint(30, 30));
    });
    intro.ShowModal(); // returns once the picture click has closed it
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    EXPECT_TRUE(stillOpenAfterLinks);
    EXPECT_FALSE(intro.isLoaded());
    ASSERT_EQ(browser.opened.size(), 2);
    EXPECT_EQ(browser.opened[0], QUrl(QStringLiteral("https://") + kWebSiteAddress));
    EXPECT_EQ(browser.opened[1], QUrl(QStringLiteral("https://") + kSoftwarePageAddress));
}

TEST(Intro, TheVersionTextClosesItToo)
{
    ProgramFolder folder;
    frmIntro& intro = TheForm<frmIntro>();
    intro.show();
    QTest::mouseClick(intro.Label1, Qt::LeftButton);
    EXPECT_FALSE(intro.isLoaded());
    EXPECT_FALSE(intro.isVisible());
}

TEST(Intro, ClosingItFromTheWindowSystemUnloadsIt)
{
    ProgramFolder folder;
    frmIntro& intro = TheForm<frmIntro>();
    intro.show();
    EXPECT_TRUE(intro.close());
    EXPECT_FALSE(intro.isLoaded());
}

} // namespace

#include "IntroTest.moc"
