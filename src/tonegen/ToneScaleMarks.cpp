// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneScaleMarks.h"

#include "skin/LabelControl.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Rows of the window, as the skin lays out the rail: figures along its top, long marks for the
// decades, shorter ones for the fives and the rest, and short marks under the rail where the
// marker's notch points.
constexpr QRect kRailInside{40, 47, 742, 38};
constexpr int kFigureTop = 48;
constexpr int kTickBottom = 84;
constexpr int kDecadeTickTop = 63;
constexpr int kHalfTickTop = 69;
constexpr int kMinorTickTop = 74;
constexpr int kUnderTop = 86;
constexpr int kUnderBottom = 91;
// Where the rail is bare in every range: right of the unit, below its figures.
constexpr QPoint kRailSample{770, 78};
// Left of the rail, where the panel under the marks is bare.
constexpr int kPanelSampleColumn = 24;

const QColor kMinor{0x7a, 0x80, 0x88};
const QColor kMajor{0xd0, 0xd4, 0xd8};
const QColor kFigure{0xc9, 0xcd, 0xd2};
const QColor kFigureDim{0x86, 0x8c, 0x94};

QString figureText(int frequency)
{
    if (frequency < 1000)
        return QString::number(frequency);
    return QString::number(frequency / 1000.0, 'g', 3) + QLatin1Char('k');
}

// Light paint with a dark line under it, as the skin prints its legends.
void drawFigure(QPainter& painter, const QRectF& box, const QString& text, const QColor& colour)
{
    painter.setPen(QColor(0, 0, 0, 170));
    painter.drawText(box.translated(0, 1), Qt::AlignCenter, text);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

ToneScaleMarks::ToneScaleMarks(QWidget* parent) : QWidget(parent)
{
    setGeometry(kArea);
    setAttribute(Qt::WA_TransparentForMouseEvents); // the rail beneath belongs to the marker
    hide();
}

int ToneScaleMarks::MarkColumn(ToneRange::Range range, int frequency)
{
    return ToneRange::MarkerLeftFor(range, frequency) + kPointerOffset;
}

void ToneScaleMarks::showRange(ToneRange::Range range, const QImage& background)
{
    m_range = range;
    if (range == ToneRange::Range::Scale) {
        hide();
        return;
    }
    paintFace(background);
    show();
    lower(); // under the marker and the readout
    update();
}

void ToneScaleMarks::paintFace(const QImage& background)
{
    using ToneRange::Range;
    m_face = QImage(kArea.size(), QImage::Format_RGB32);
    const bool hasSkin = background.rect().contains(kArea);
    const QColor rail = hasSkin ? background.pixelColor(kRailSample) : QColor(0x0e, 0x0f, 0x12);
    if (hasSkin)
        m_face = background.copy(kArea).convertToFormat(QImage::Format_RGB32);
    else
        m_face.fill(Qt::black);

    QPainter painter(&m_face);
    painter.translate(-kArea.topLeft());
    // The printed marks go under the rail's own colour; the rail's rim stays the skin's.
    painter.fillRect(kRailInside, rail);
    for (int row = kUnderTop; row <= kUnderBottom; ++row) {
        const QColor panel = hasSkin ? background.pixelColor(kPanelSampleColumn, row) : Qt::black;
        painter.fillRect(QRect(kArea.left(), row, kArea.width(), 1), panel);
    }

    const ToneRange::Span span = ToneRange::SpanOf(m_range);
    const QFont font = BoldSansPixelFont(10);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    int lastFigureRight = -100;
    const bool everyStep = span.high <= 10 * span.low;
    for (int decade = 1; decade <= span.high; decade *= 10) {
        for (int step = 1; step <= 9; ++step) {
            const int frequency = decade * step;
            if (frequency < span.low || frequency > span.high)
                continue;
            const int column = MarkColumn(m_range, frequency);
            const bool isDecade = step == 1;
            const int top = isDecade ? kDecadeTickTop : (step == 5 ? kHalfTickTop : kMinorTickTop);
            painter.fillRect(QRect(column, top, 1, kTickBottom - top + 1),
                             isDecade ? kMajor : kMinor);
            // Figures at 1, 2 and 5 of each decade (every mark when the range is a decade or
            // less) and at the range's ends, wherever they fit beside the last one.
            const bool figured = everyStep || step == 1 || step == 2 || step == 5 ||
                                 frequency == span.low || frequency == span.high;
            if (!figured)
                continue;
            const QString text = figureText(frequency);
            const int width = metrics.horizontalAdvance(text) + 2;
            const int left = column - width / 2;
            if (left < lastFigureRight + 6)
                continue;
            painter.fillRect(QRect(column, kDecadeTickTop, 1, kTickBottom - kDecadeTickTop + 1),
                             kMajor);
            painter.fillRect(QRect(column, kUnderTop, 1, kUnderBottom - kUnderTop + 1), kFigure);
            drawFigure(painter, QRectF(left, kFigureTop, width, 13), text, kFigure);
            lastFigureRight = left + width;
        }
    }
    // Further right than the printed scale puts it: a range figures its top end at the last stop.
    const int unitLeft = ToneRange::kMarkerMaxLeft + kPointerOffset + 17;
    drawFigure(painter, QRectF(unitLeft, kFigureTop, 24, 13), QStringLiteral("Hz"), kFigureDim);
}

void ToneScaleMarks::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_face);
}
