// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Numbers travel between windows as text (labels, the settings file). These helpers read and
// write them the way every window does, so that a value stored by one reads the same in another.

// The leading decimal number of a text: blanks skipped, an optional sign, digits and at most one
// decimal point. "62.5abc" gives 62.5, "abc" and "" give 0.
double LeadingNumber(QStringView text);

// Nearest whole number, an exact half going to the even neighbour (62.5 -> 62, -37.5 -> -38).
// Values beyond the range of int are clamped; NaN gives 0.
int RoundHalfEven(double value);

// A number written back as decimal text: 80, -37.5, 0 (no exponent, no trailing zeros).
QString NumberToText(double value);
