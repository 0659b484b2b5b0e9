// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the test programs.
#pragma once

#include <QString>

class QImage;

namespace testsupport {

// The temporary folder in which the current test runs (also the current directory), without
// anything an earlier test of the same process left there.
QString TestDir();

// The build folder, for files that people may want to look at after the run (screenshots).
QString ArtifactDir();

// Runs a command line through the shell; true when it exited with status 0.
bool Run(const QString& commandLine);

// True when the named program is on the PATH.
bool HaveProgram(const QString& name);

// The mean absolute difference of two images' colour channels, 0 to 255; 255 when their sizes
// differ or one is null.
double MeanDifference(const QImage& a, const QImage& b);

} // namespace testsupport
