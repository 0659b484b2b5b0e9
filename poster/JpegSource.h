// SPDX-License-Identifier: GPL-3.0-or-later
// A JPEG file's own compressed data, for a document that may carry it in place of the decoded
// pixels, with the lossless edits made on the picture since it was loaded.
#pragma once

#include "ColourProfile.h"
#include "JpegCut.h"
#include "PictureEdit.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

struct JpegSource
{
    QByteArray data;
    JpegView view;     // the edits on its blocks so far
    int32_t width = 0; // the picture as it shows: the view's
    int32_t height = 0;
    ColourProfile profile;   // the colours of its data, when the file has a profile to use
    std::string profileNote; // why the file's profile was left out; empty when it was not
};

// The file's data when it is a JPEG a document can carry as it is (colour or grey, a header
// that reads), with the size its header gives; null for anything else.
std::shared_ptr<const JpegSource> ReadJpegSource(const QString& path);
// The same from a JPEG file's bytes, read already.
std::shared_ptr<const JpegSource> JpegSourceOf(QByteArray bytes);

// The same data with one more edit, made on its blocks without loss; null for null, and for a
// cut that is not inside the picture or empty. The data itself is shared, not copied.
std::shared_ptr<const JpegSource> EditedJpeg(const std::shared_ptr<const JpegSource>& jpeg,
                                             const PictureEdit& edit);
