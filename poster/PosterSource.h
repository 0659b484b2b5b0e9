// SPDX-License-Identifier: GPL-3.0-or-later
// What a poster prints from. The picture's pixels are always there for the window's views; the
// source says whether the document may draw something better in their place: a JPEG file's own
// blocks under the lossless edits made since it was read, or a drawing's page as vectors. Every
// edit of the picture is made on the source as well, in one place, so that the source never shows
// another picture than the pixels do; an edit it can't make leaves the pixels alone as the source.
#pragma once

#include "DrawingSource.h"
#include "JpegSource.h"
#include "PictureEdit.h"

#include <memory>

class PosterSource
{
public:
    PosterSource() = default; // the pixels
    static PosterSource Jpeg(std::shared_ptr<const JpegSource> jpeg);
    static PosterSource Drawing(std::shared_ptr<const DrawingSource> drawing);

    bool IsPixels() const { return !jpeg_ && !drawing_; }
    // The JPEG data to print from; null for the other sources.
    const JpegSource* jpeg() const { return jpeg_.get(); }
    const std::shared_ptr<const JpegSource>& sharedJpeg() const { return jpeg_; }
    // The drawing to print from; null for the other sources.
    const DrawingSource* drawing() const { return drawing_.get(); }
    const std::shared_ptr<const DrawingSource>& sharedDrawing() const { return drawing_; }
    // The size of the picture as the source shows it; 0 x 0 for the pixels.
    int32_t width() const;
    int32_t height() const;

    // The source with the edit made, or the pixels when it can't make it.
    PosterSource Edited(const PictureEdit& edit) const;
    // The source turned upright for a photo's orientation tag (1 to 8), as the pixels are.
    PosterSource Upright(int orientation) const;
    // Whether the source is the picture of that size: a source read beside the pixels that
    // does not match them is not used.
    bool Fits(int32_t width, int32_t height) const;

    bool operator==(const PosterSource&) const = default;

private:
    std::shared_ptr<const JpegSource> jpeg_;
    std::shared_ptr<const DrawingSource> drawing_;
};
