// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

// Drawn over a pad, never into its face: the name of the pad's file, and for the pad that plays
// a thin bar that fills once per loop cycle. The pad's face stays the skin's own picture; the
// overlay lets the mouse through to it.
class PadOverlay : public QWidget {
public:
    // Where the loop bar sits at the foot of a 50 x 94 pad.
    static constexpr QRect kLoopBar{6, 86, 38, 3};

    explicit PadOverlay(QWidget* pad);

    // The file's name without its extension; empty for an unbound pad. A missing file shows its
    // name dimmed and struck through.
    void setName(const QString& fileName, bool missing);
    // Text colours follow the face: dark on the lit one, light on the unlit one.
    void setLit(bool lit);
    // Loop bar: the cycle's progress 0..1, or a negative value for none. `ending` draws it in red:
    // the loop stops at this cycle's end. `waiting` draws the pad as the one that takes over.
    void setLoop(double progress, bool ending);
    void setWaiting(bool waiting);
    // A take on this pad: armed (waiting for its bar line) draws a dashed red ring, recording a
    // solid one with a red dot.
    enum class Take { None, Armed, Recording };
    void setTake(Take take);
    Take take() const { return m_take; }

    const QStringList& lines() const { return m_lines; }
    bool missing() const { return m_missing; }
    double loopProgress() const { return m_progress; }
    bool waiting() const { return m_waiting; }

    // The name as it fits a pad: up to two lines, the last one elided.
    static QStringList FitName(const QString& name, const QFont& font, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The name is laid out and drawn once per change of text, face or presence; a frame only
    // copies the picture.
    void drawName();

    QImage m_namePicture;
    QStringList m_lines;
    bool m_missing = false;
    bool m_lit = false;
    bool m_waiting = false;
    Take m_take = Take::None;
    bool m_ending = false;
    double m_progress = -1.0;
    int m_drawnBarWidth = -1;
};
