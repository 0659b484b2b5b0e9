// SPDX-License-Identifier: GPL-3.0-or-later
// Text widths for the page plans: Helvetica's advance widths, in thousandths of the font size.
#include "PageCanvas.h"

namespace {

// The printable ASCII characters, from the space (32) to the tilde (126).
constexpr short kHelvetica[95] = {
    278, 278, 355, 556, 556, 889, 667,  191, 333, 333, 389, 584, 278, 333, 278, 278, // space../
    556, 556, 556, 556, 556, 556, 556,  556, 556, 556,                               // 0..9
    278, 278, 584, 584, 584, 556, 1015,                                              // :..@
    667, 667, 722, 722, 667, 611, 778,  722, 278, 500, 667, 556, 833, 722, 778, 667, // A..P
    778, 722, 667, 611, 722, 667, 944,  667, 667, 611,                               // Q..Z
    278, 278, 278, 469, 556, 333,                                                    // [..`
    556, 556, 500, 556, 556, 278, 556,  556, 222, 222, 500, 222, 833, 556, 556, 556, // a..p
    556, 333, 500, 278, 556, 500, 722,  500, 500, 500,                               // q..z
    334, 260, 334, 584,                                                              // {..~
};
// The Latin-1 letters German needs, which the PDF sets through WinAnsiEncoding.
struct Letter
{
    ushort code;
    short width;
};
constexpr Letter kGermanLetters[] = {
    {0xC4, 667}, {0xD6, 778}, {0xDC, 722}, {0xDF, 611}, // Ä Ö Ü ß
    {0xE4, 556}, {0xF6, 556}, {0xFC, 556},              // ä ö ü
};
// Anything else: about an average letter.
constexpr short kOther = 556;

short Width(ushort u)
{
    if (u >= 32 && u <= 126)
        return kHelvetica[u - 32];
    for (const Letter& letter : kGermanLetters)
        if (letter.code == u)
            return letter.width;
    return kOther;
}

} // namespace

double TextWidth(const QString& text, int size)
{
    long units = 0;
    for (const QChar c : text)
        units += Width(c.unicode());
    return double(units) * size / 1000.0;
}
