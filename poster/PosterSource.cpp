#include "PosterSource.h"

#include "PictureOrientation.h"

PosterSource PosterSource::Jpeg(std::shared_ptr<const JpegSource> jpeg)
{
    PosterSource source;
    source.jpeg_ = std::move(jpeg);
    return source;
}

PosterSource PosterSource::Edited(const PictureEdit& edit) const
{
    return Jpeg(EditedJpeg(jpeg_, edit));
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
    return !jpeg_ || (jpeg_->width == width && jpeg_->height == height);
}
