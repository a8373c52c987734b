// SPDX-License-Identifier: GPL-3.0-or-later
#include "PadOverlay.h"

#include "skin/LabelControl.h"

#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace {

// Under the pad's engraved number, above the loop bar.
constexpr QRect kNameArea{2, 59, 46, 25};
constexpr int kLineHeight = 12;

const QFont& nameFont()
{
    static const QFont font = [] {
        QFont f = BoldSansFont(6.75);
        f.setStretch(QFont::SemiCondensed);
        return f;
    }();
    return font;
}

QFont struckFont()
{
    QFont f = nameFont();
    f.setStrikeOut(true);
    return f;
}

} // namespace

PadOverlay::PadOverlay(QWidget* pad) : QWidget(pad)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(pad->rect());
}

QStringList PadOverlay::FitName(const QString& name, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    const QStringList words = name.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    // The first line takes as many whole words as fit; the rest, elided, goes on the second.
    QString first = words.front();
    int next = 1;
    while (next < words.size() &&
           metrics.horizontalAdvance(first + QLatin1Char(' ') + words[next]) <= width)
        first += QLatin1Char(' ') + words[next++];
    if (metrics.horizontalAdvance(first) > width) {
        if (words.size() > 1) // "Percussion 120": the long word elided, the rest below it
            return {metrics.elidedText(first, Qt::ElideRight, width),
                    metrics.elidedText(words.mid(1).join(QLatin1Char(' ')), Qt::ElideRight, width)};
        // One long word alone: it breaks where the width ends and goes on below.
        int cut = static_cast<int>(first.size());
        while (cut > 1 && metrics.horizontalAdvance(first.left(cut)) > width)
            --cut;
        return {first.left(cut), metrics.elidedText(first.mid(cut), Qt::ElideRight, width)};
    }
    if (next == words.size())
        return {first};
    QString rest = words[next];
    for (int i = next + 1; i < words.size(); ++i)
        rest += QLatin1Char(' ') + words[i];
    return {first, metrics.elidedText(rest, Qt::ElideRight, width)};
}

void PadOverlay::setName(const QString& fileName, bool missing)
{
    const QString shown = fileName.isEmpty() ? QString() : QFileInfo(fileName).completeBaseName();
    const QStringList lines = FitName(shown, nameFont(), kNameArea.width());
    if (lines == m_lines && missing == m_missing)
        return;
    m_lines = lines;
    m_missing = missing;
    drawName();
}

void PadOverlay::setLit(bool lit)
{
    if (lit == m_lit)
        return;
    m_lit = lit;
    drawName();
}

void PadOverlay::setLoop(double progress, bool ending)
{
    const int width =
        progress < 0
            ? -1
            : static_cast<int>(std::lround(std::clamp(progress, 0.0, 1.0) * kLoopBar.width()));
    m_progress = progress;
    // Only a change the eye can see is drawn: a pixel more of the bar, or its colour.
    if (width == m_drawnBarWidth && ending == m_ending)
        return;
    m_drawnBarWidth = width;
    m_ending = ending;
    update(kLoopBar.adjusted(-1, -1, 1, 1));
}

void PadOverlay::setWaiting(bool waiting)
{
    if (waiting == m_waiting)
        return;
    m_waiting = waiting;
    update();
}

void PadOverlay::drawName()
{
    update(kNameArea);
    if (m_lines.isEmpty()) {
        m_namePicture = QImage();
        return;
    }
    const qreal scale = devicePixelRatioF();
    m_namePicture = QImage(kNameArea.size() * scale, QImage::Format_ARGB32_Premultiplied);
    m_namePicture.setDevicePixelRatio(scale);
    m_namePicture.fill(Qt::transparent);
    QPainter painter(&m_namePicture);
    painter.setFont(m_missing ? struckFont() : nameFont());
    // A shadow a pixel down keeps the name legible on the face's own shading.
    const QColor ink = m_lit ? QColor(0x1c, 0x12, 0x04) : QColor(0xee, 0xee, 0xee);
    const QColor shade = m_lit ? QColor(255, 236, 200, 120) : QColor(0, 0, 0, 170);
    const int alpha = m_missing ? 110 : 255;
    int top = m_lines.size() == 1 ? kLineHeight / 2 : 0;
    for (const QString& line : m_lines) {
        const QRect row(0, top, kNameArea.width(), kLineHeight);
        QColor s = shade;
        s.setAlpha(s.alpha() * alpha / 255);
        painter.setPen(s);
        painter.drawText(row.translated(0, 1), Qt::AlignHCenter | Qt::AlignVCenter, line);
        QColor i = ink;
        i.setAlpha(alpha);
        painter.setPen(i);
        painter.drawText(row, Qt::AlignHCenter | Qt::AlignVCenter, line);
        top += kLineHeight;
    }
}

void PadOverlay::setTake(Take take)
{
    if (take == m_take)
        return;
    m_take = take;
    update();
}

void PadOverlay::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (event->rect().intersects(kNameArea) && !m_namePicture.isNull())
        painter.drawImage(kNameArea.topLeft(), m_namePicture);
    if (m_waiting) {
        // The pad that takes over at the cycle's end: a ring around its face.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0xff, 0xd0, 0x60, 220), 2.0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (m_take != Take::None) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor red(0xff, 0x3a, 0x30, 230);
        painter.setPen(QPen(red, 2.0, m_take == Take::Armed ? Qt::DashLine : Qt::SolidLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        if (m_take == Take::Recording) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(red);
            painter.drawEllipse(QPointF(width() - 9.0, 9.0), 4.0, 4.0);
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (m_drawnBarWidth >= 0 && event->rect().intersects(kLoopBar)) {
        painter.fillRect(kLoopBar.adjusted(-1, -1, 1, 1), QColor(0, 0, 0, 150));
        const QColor fill = m_ending ? QColor(0xff, 0x50, 0x40) : QColor(0x7c, 0xff, 0x6a);
        painter.fillRect(QRect(kLoopBar.topLeft(), QSize(m_drawnBarWidth, kLoopBar.height())),
                         fill);
    }
}
