// SPDX-License-Identifier: GPL-3.0-or-later
// Windows of this program open in the middle of the screen, as they always did.
#pragma once

class QWidget;

void CentreOnScreen(QWidget* window);
