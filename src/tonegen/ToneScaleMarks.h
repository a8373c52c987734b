// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ToneRange.h"

#include <QImage>
#include <QWidget>

// The marks and figures of a picked range, laid over the scale the skin prints along the
// marker's rail (and the short marks under it), in the rail's own colours. With the printed
// scale in use it stays hidden and the skin shows through.
class ToneScaleMarks : public QWidget {
public:
    // Covers the rail from the left of the marker's first stop to past its last, and the row of
    // marks beneath it.
    static constexpr QRect kArea{38, 45, 746, 47};
    // Column of the marker's hairline inside its picture: a mark belongs where the hairline
    // stands when the marker is at that frequency.
    static constexpr int kPointerOffset = 35;

    explicit ToneScaleMarks(QWidget* parent);

    // Paints the range's marks over background (the window's face, whose colours they take); the
    // printed scale hides them.
    void showRange(ToneRange::Range range, const QImage& background);
    ToneRange::Range range() const { return m_range; }

    // The window column of the mark for a frequency in a range.
    static int MarkColumn(ToneRange::Range range, int frequency);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintFace(const QImage& background);

    ToneRange::Range m_range = ToneRange::Range::Scale;
    QImage m_face;
};
