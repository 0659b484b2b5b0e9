#include "JpegSource.h"

#include "FileName.h"
#include "PictureOrientation.h"
#include "PictureRead.h"

#include <QFile>

namespace {

std::shared_ptr<const JpegSource> WithView(const JpegSource& jpeg, const JpegView& view)
{
    auto edited = std::make_shared<JpegSource>(jpeg);
    edited->view = view;
    edited->width = view.width;
    edited->height = view.height;
    return edited;
}

} // namespace

std::shared_ptr<const JpegSource> ReadJpegSource(const QString& path)
{
    // Read as the picture is: a regular file, and whole, or not at all.
    WholeFile file = ReadWholeFile(FileNameBytes(path).constData(), "\xFF\xD8\xFF");
    if (file.failure != ReadFailure::None)
        return nullptr;
    JpegSource source;
    source.data = std::move(file.bytes);
    JpegFacts facts;
    if (!ReadJpegFacts(reinterpret_cast<const uint8_t*>(source.data.constData()),
                       size_t(source.data.size()), facts))
        return nullptr;
    const ProfileCheck profile = JpegColourProfile(
        reinterpret_cast<const uint8_t*>(source.data.constData()), size_t(source.data.size()));
    source.profile = profile.profile;
    source.profileNote = profile.refusal;
    return WithView(source, WholeView(facts));
}

std::shared_ptr<const JpegSource> EditedJpeg(const std::shared_ptr<const JpegSource>& jpeg,
                                             LosslessEdit edit)
{
    if (!jpeg)
        return nullptr;
    switch (edit) {
    case LosslessEdit::Mirror:
        return WithView(*jpeg, Mirrored(jpeg->view));
    case LosslessEdit::Flip:
        return WithView(*jpeg, Flipped(jpeg->view));
    case LosslessEdit::TurnLeft:
        return WithView(*jpeg, TurnedLeft(jpeg->view));
    case LosslessEdit::TurnRight:
        return WithView(*jpeg, TurnedRight(jpeg->view));
    }
    return nullptr;
}

std::shared_ptr<const JpegSource> CroppedJpeg(const std::shared_ptr<const JpegSource>& jpeg,
                                              int32_t left, int32_t top, int32_t right,
                                              int32_t bottom)
{
    if (!jpeg)
        return nullptr;
    JpegView view = jpeg->view;
    if (!CropView(view, left, top, right, bottom))
        return nullptr;
    return WithView(*jpeg, view);
}

std::shared_ptr<const JpegSource> UprightJpeg(const std::shared_ptr<const JpegSource>& jpeg,
                                              int orientation)
{
    std::shared_ptr<const JpegSource> upright = jpeg;
    for (const UprightStep step : UprightSteps(orientation)) {
        switch (step) {
        case UprightStep::Mirror:
            upright = EditedJpeg(upright, LosslessEdit::Mirror);
            break;
        case UprightStep::Flip:
            upright = EditedJpeg(upright, LosslessEdit::Flip);
            break;
        case UprightStep::TurnLeft:
            upright = EditedJpeg(upright, LosslessEdit::TurnLeft);
            break;
        case UprightStep::TurnRight:
            upright = EditedJpeg(upright, LosslessEdit::TurnRight);
            break;
        }
    }
    return upright;
}
