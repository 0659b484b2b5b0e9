// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a velmora-poster request: the picture read, the printer set up and the poster sized
// as the window would, then reported or printed.
#pragma once

#include "PosterRequest.h"
#include "PrinterMetrics.h"

#include <QTextStream>

#include <cstdint>

// The size the window arrives at for this request: it starts with its blank picture and
// default options, loads a picture of pictureWidth x pictureHeight, has its options and glue
// edges set (one options update, which refits), and then has the sizes typed in the order given.
PosterGeometry FitPosterLikeTheWindow(const PosterRequest& request, const PrinterMetrics& metrics,
                                      int32_t pictureWidth, int32_t pictureHeight);

// Exit status: 0 when done. Reports go to out, errors as one line to err.
int RunPosterRequest(const PosterRequest& request, QTextStream& out, QTextStream& err);
