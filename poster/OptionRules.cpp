// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionRules.h"

OptionUpdate OptionsFromBoxes(const OptionBoxes& boxes, double incrementValue)
{
    OptionUpdate u;
    u.options = boxes;
    // Glue lines show where the neighbouring sheet goes; printing into the strip without them
    // leaves nothing to align by, so the one option forces the other.
    if (u.options.PrintOnGlueEdge) {
        u.checkGlueLines = !boxes.GlueLines;
        u.options.GlueLines = true;
    }
    u.glueControlsEnabled = u.options.GlueEdge;
    u.incrementEnabled = !u.options.UseFullPages;
    u.sizeStep = u.options.UseFullPages ? kFullPagesStep : incrementValue;
    return u;
}
