// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>

#include <vector>

// The tone generator's waveform picture: a stylised oscilloscope with a zero line, two lines at
// the current level and a sine curve that starts on the zero line and rises.
class ToneDisplay {
public:
    static constexpr QColor kBackground{0, 64, 0};
    static constexpr QColor kZeroLine{0, 128, 0};
    static constexpr QColor kLevelLines{0, 96, 0};
    static constexpr QColor kCurve{0, 255, 0};

    // The frequency the picture shows: halved in whole octaves (integer division) until every
    // period is at least 20 pixels wide, so 50 Hz on 400 pixels shows 12 periods, not 12.5.
    static int DisplayedFrequency(int frequency, int width);

    // Draws the picture for a frequency and a volume (0 to 1) over the whole of face.
    void draw(QImage& face, int frequency, float volume, float amplitude);

private:
    std::vector<QPoint> m_curve; // kept between draws: a drag redraws on every mouse move
};
