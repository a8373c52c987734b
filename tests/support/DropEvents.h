// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "import/SoundImporter.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

// Drags local files over target to a point and drops them there, as a file manager does: enter,
// move, drop. True when target took the drop; a drag it does not take over that point is not
// dropped. A drop taken must be taken as a copy, so the source never deletes its file.
inline bool DropFiles(QWidget* target, QPoint at, const QStringList& paths,
                      Qt::KeyboardModifiers mods = {})
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, mods);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, mods);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted())
        return false;
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent dropped(QPointF(at), actions, &mime, Qt::LeftButton, mods);
    QApplication::sendEvent(target, &dropped);
    EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
    return dropped.isAccepted();
}

// Waits until the importer has dealt with every drop, then lets its results reach the windows.
inline void SettleImports()
{
    ASSERT_TRUE(QTest::qWaitFor([] { return SoundImporter::shared().idle(); }, 20000));
    QCoreApplication::processEvents();
}
