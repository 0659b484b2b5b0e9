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
// Anything else: about an average letter.
constexpr short kOther = 556;

} // namespace

double TextWidth(const QString& text, int size)
{
    long units = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        units += u >= 32 && u <= 126 ? kHelvetica[u - 32] : kOther;
    }
    return double(units) * size / 1000.0;
}
