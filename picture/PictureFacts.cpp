// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureFacts.h"

#include "GrafikRW.h"

#include <cstring>

PictureFacts PictureFactsOf(const PictureRecord& picture)
{
    PictureFacts facts;
    if (!picture.Bits || !picture.Info)
        return facts;
    facts.width = QString::number(DIBWidth(picture));
    facts.height = QString::number(DIBHeight(picture));
    facts.colours = QString::number(zweihoch(picture.Info->bmiHeader.biBitCount));
    return facts;
}

PictureRecord NewStartPicture()
{
    const PictureRecord picture =
        newdib(kStartPictureWidth, kStartPictureHeight, kStartPictureBitCount, nullptr, 0);
    if (!picture.Bits)
        return picture;
    // The grey ramp a new paletted picture gets ends in white.
    const uint8_t white = uint8_t(ColourTableSize(kStartPictureBitCount) - 1);
    for (int32_t y = 0; y < kStartPictureHeight; ++y)
        std::memset(picture.Bits + int64_t(y) * picture.BytesPerLine, white, kStartPictureWidth);
    DIBChanged(picture);
    return picture;
}
