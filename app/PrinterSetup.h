// SPDX-License-Identifier: GPL-3.0-or-later
// The printer set-up dialog, on a copy of the printer's settings.
#pragma once

class CurrentPrinter;
class QWidget;

// Shows the set-up dialog for the printer in use and takes its settings over only when it is
// accepted; Cancel and Escape leave the printer as it was. True when accepted.
bool RunPrinterSetup(CurrentPrinter& printer, QWidget* parent);
