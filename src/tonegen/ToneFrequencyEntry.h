// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>

// The field that opens over the frequency readout for typing a frequency. Return takes the text
// if it is a frequency (Accepted gets it in Hz and the field closes); otherwise the field stays,
// its text red and marked, for another try. Escape, or a click elsewhere, closes it without a
// change.
class ToneFrequencyEntry : public QLineEdit {
public:
    explicit ToneFrequencyEntry(QWidget* parent);

    std::function<void(int frequency)> Accepted;

    // Opens over the readout's rectangle with the current frequency as plain digits, selected.
    void open(const QRect& rect, int frequency);
    // Closes without a change.
    void cancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void take();
};
