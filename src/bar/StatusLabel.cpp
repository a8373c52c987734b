// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusLabel.h"

StatusLabel::StatusLabel(QWidget* parent, const QRect& rect) : LabelControl(parent, rect)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Right-aligned, so a note stays clear of the engraving to its left.
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(BoldSansFont(8.25));
    setForeColor(QColor(0xc8, 0xc8, 0xc8));
    m_clear.setSingleShot(true);
    m_clear.setInterval(kClearAfterMs);
    QObject::connect(&m_clear, &QTimer::timeout, this, [this] {
        if (m_waiting.isEmpty())
            clear();
        else
            showMessage(m_waiting.takeFirst());
    });
}

void StatusLabel::showMessage(const QString& text)
{
    // A note too long for the line keeps its start, which names the file.
    setText(fontMetrics().elidedText(text, Qt::ElideRight, width()));
    m_clear.start();
}

void StatusLabel::queueMessage(const QString& text)
{
    if (m_clear.isActive())
        m_waiting.append(text);
    else
        showMessage(text);
}
