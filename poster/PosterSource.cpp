// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterSource.h"

#include "PictureOrientation.h"

PosterSource PosterSource::Jpeg(std::shared_ptr<const JpegSource> jpeg)
{
    PosterSource source;
    source.jpeg_ = std::move(jpeg);
    return source;
}

PosterSource PosterSource::Drawing(std::shared_ptr<const DrawingSource> drawing)
{
    PosterSource source;
    source.drawing_ = std::move(drawing);
    return source;
}

PosterSource PosterSource::Edited(const PictureEdit& edit) const
{
    if (drawing_)
        return Drawing(EditedDrawing(drawing_, edit));
    return Jpeg(EditedJpeg(jpeg_, edit));
}

int32_t PosterSource::width() const
{
    return jpeg_ ? jpeg_->width : drawing_ ? drawing_->width : 0;
}

int32_t PosterSource::height() const
{
    return jpeg_ ? jpeg_->height : drawing_ ? drawing_->height : 0;
}

PosterSource PosterSource::Upright(int orientation) const
{
    PosterSource upright = *this;
    for (const PictureEdit& step : UprightSteps(orientation))
        upright = upright.Edited(step);
    return upright;
}

bool PosterSource::Fits(int32_t width, int32_t height) const
{
    return IsPixels() || (this->width() == width && this->height() == height);
}
