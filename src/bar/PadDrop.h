// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>

#include <functional>
#include <vector>

class Bar;
class QWidget;
struct ImportOutcome;

// Sound files dragged from a file manager onto the bar's pads. A drag over a pad shows a frame
// round it; the files dropped are brought into the Sounds folder (see SoundImporter) and bound:
// the first to the pad dropped on, the others to the unbound pads after it. The bindings are
// written as the settings window's "<  Change Sample" writes them. Nothing plays on a drop, and
// every note about it goes to the bar's status line.
class PadDrop : public QObject {
public:
    explicit PadDrop(Bar& bar); // a child of the bar, taking the drag events the bar gets

    // The pad under a point of the bar, -1 between and outside the pads.
    static int PadAt(QPoint point);
    // The pads count dropped files go to when dropped on pad first: first itself, then the pads
    // after it that bound says are unbound, in order, up to the last pad; -1 for a file that
    // finds no pad.
    static std::vector<int> TargetPads(int first, int count, const std::function<bool(int)>& bound);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void markPad(int pad);
    void drop(int pad, const QStringList& paths, const QStringList& problems);
    void bind(int pad, const ImportOutcome& outcome, QStringList problems);

    Bar& m_bar;
    QWidget* m_marker; // the frame round the pad a drop would go to
};
