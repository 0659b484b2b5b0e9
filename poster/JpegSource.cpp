// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegSource.h"

#include "FileName.h"
#include "PictureRead.h"

#include <QFile>

std::shared_ptr<const JpegSource> ReadJpegSource(const QString& path)
{
    // Read as the picture is: a regular file, and whole, or not at all.
    WholeFile file = ReadWholeFile(FileNameBytes(path).constData(), "\xFF\xD8\xFF");
    if (file.failure != ReadFailure::None)
        return nullptr;
    return JpegSourceOf(std::move(file.bytes));
}

std::shared_ptr<const JpegSource> JpegSourceOf(QByteArray bytes)
{
    if (!bytes.startsWith("\xFF\xD8\xFF"))
        return nullptr;
    JpegSource source;
    source.data = std::move(bytes);
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
                                             const PictureEdit& edit)
{
    if (!jpeg)
        return nullptr;
    JpegView view = jpeg->view;
    if (!EditView(view, edit))
        return nullptr;
    return WithView(*jpeg, view);
}
