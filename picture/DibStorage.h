// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the picture library: the memory behind a PictureRecord, reached through Reserved1.
#pragma once

#include "ColourProfile.h"
#include "GrafikRW.h"

#include <QImage>
#include <QList>

#include <memory>
#include <vector>

struct DibStorage
{
    static constexpr uint32_t kMagic = 0x56444942; // marks a live storage block
    uint32_t magic = kMagic;
    BITMAPINFO info = {};
    uint8_t* bits = nullptr; // biSizeImage bytes: calloc'ed, or mapped when mappedBytes > 0
    size_t mappedBytes = 0;
    uint8_t pixelsChanged = 0; // set by DIBChanged and a 4-bit setpixel: the reduced copies are old
    ColourProfile profile;     // the colours the pixel values mean, when the file said

    // A QImage over the rows, made at the first drawing and kept for the picture's life; none
    // for a 4-bit picture, whose part in sight is expanded for each drawing.
    QImage view;
    QList<QRgb> viewColours;
    // A 4-bit picture's reduced copies for drawing it small, by level (2^level); null until
    // needed, dropped when its pixels change.
    std::vector<QImage> reduced;

    ~DibStorage();
};

inline DibStorage* StorageOf(const PictureRecord& picture)
{
    auto* s = static_cast<DibStorage*>(picture.Reserved1);
    return (s && s->magic == DibStorage::kMagic) ? s : nullptr;
}

// The picture as a QImage whose row 0 is the bottom row, over its own rows; null for a record
// without a picture, and for a 4-bit one, which Qt has no format for.
const QImage& DibView(const PictureRecord& picture);

// Copies the colour table into LogPalette and remakes Palette (the palette invariant).
void SyncPaletteFromColourTable(PictureRecord& picture);
