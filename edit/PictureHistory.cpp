// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureHistory.h"

#include "DibFileFormats.h"

uint64_t PictureBytes(const PictureRecord& picture)
{
    if (!picture.Bits || !picture.Info)
        return 0;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int64_t rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    return uint64_t(picture.BytesPerLine) * uint64_t(rows) + sizeof(BITMAPINFOHEADER) +
           uint64_t(ColourTableSize(h.biBitCount)) * 4;
}

MemoryLeft SystemMemoryLeft()
{
    return [] { return MemoryForPictures(); };
}
