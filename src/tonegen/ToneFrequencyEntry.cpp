// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToneFrequencyEntry.h"

#include "ToneFrequencyText.h"

#include <QKeyEvent>

ToneFrequencyEntry::ToneFrequencyEntry(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setMaxLength(24);
    // The readout's dark well with the readout's white figures, so typing looks like editing
    // the readout itself; a refused text turns red until it is changed. It stays marked, so the
    // next try replaces it: red on the mark as well, or the refusal would not show.
    setStyleSheet(QStringLiteral("QLineEdit { background: #030304; color: white; "
                                 "selection-background-color: #505860; selection-color: white; }"
                                 "QLineEdit[refused=\"true\"] { color: #ff3b2f; "
                                 "selection-color: #ff3b2f; }"));
    connect(this, &QLineEdit::textEdited, this, [this] {
        setProperty("refused", false);
        setStyleSheet(styleSheet());
    });
    hide();
}

void ToneFrequencyEntry::open(const QRect& rect, int frequency)
{
    setGeometry(rect);
    setText(QString::number(frequency));
    setProperty("refused", false);
    setStyleSheet(styleSheet());
    selectAll();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

void ToneFrequencyEntry::cancel()
{
    hide();
}

void ToneFrequencyEntry::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        take();
        return;
    case Qt::Key_Escape:
        cancel();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void ToneFrequencyEntry::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the field's own context menu) takes the focus only for a moment.
    if (event->reason() != Qt::PopupFocusReason)
        cancel();
}

void ToneFrequencyEntry::take()
{
    const QByteArray typed = text().toUtf8();
    const std::optional<int> frequency =
        ToneFrequencyText::Parse(std::string_view(typed.constData(), typed.size()));
    if (!frequency) {
        setProperty("refused", true);
        setStyleSheet(styleSheet());
        selectAll();
        return;
    }
    hide();
    if (Accepted)
        Accepted(*frequency);
}
