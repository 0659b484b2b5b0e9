// SPDX-License-Identifier: GPL-3.0-or-later
// A number as PDF writes it: no exponent, at most four decimals, no trailing zeros. Shared by
// every piece of code that writes PDF text, so that they all write numbers alike.
#pragma once

#include <QByteArray>

#include <cmath>

inline QByteArray PdfNumber(double v)
{
    if (std::abs(v) < 0.00005)
        return "0";
    QByteArray text = QByteArray::number(v, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}
