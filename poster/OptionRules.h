// SPDX-License-Identifier: GPL-3.0-or-later
// What the options update does with the ten check boxes: the flags it stores, the boxes it
// checks on its own, and which controls it enables.
#pragma once

#include "PosterTypes.h"

// The checked state of the ten option boxes, in the order of the PrintOptions flags.
using OptionBoxes = PrintOptions;

struct OptionUpdate
{
    PrintOptions options;        // the flags to store
    bool checkGlueLines = false; // "Clue lines" must be checked by the program
    bool glueControlsEnabled =
        true;                     // CheckBox9, CheckBox10, CheckBox2, both glue edits, Edit1, Edit2
    bool incrementEnabled = true; // IncEd
    double sizeStep = 0.1;        // step of BreitEd and HochEd
};

// Step of the size edits while only whole pages are allowed.
constexpr double kFullPagesStep = 1.0;

// incrementValue is IncEd's current value.
OptionUpdate OptionsFromBoxes(const OptionBoxes& boxes, double incrementValue);
