// SPDX-License-Identifier: GPL-3.0-or-later
// Who releases a picture: the holder, once, when it goes out of scope or takes another picture.
// The record stays the copyable value every picture function takes and gives; the holder only
// says which copy owns the storage.
#pragma once

#include "GrafikRW.h"

#include <utility>

class HeldPicture
{
public:
    HeldPicture() = default;
    explicit HeldPicture(const PictureRecord& picture) noexcept : picture_(picture) {}
    ~HeldPicture() { reset(); }

    HeldPicture(HeldPicture&& other) noexcept : picture_(other.release()) {}
    HeldPicture& operator=(HeldPicture&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    HeldPicture(const HeldPicture&) = delete;
    HeldPicture& operator=(const HeldPicture&) = delete;

    const PictureRecord& get() const { return picture_; }
    PictureRecord& get() { return picture_; }
    const PictureRecord& operator*() const { return picture_; }
    PictureRecord& operator*() { return picture_; }
    const PictureRecord* operator->() const { return &picture_; }
    PictureRecord* operator->() { return &picture_; }
    explicit operator bool() const { return picture_.Bits != nullptr; }

    // Releases the picture held so far and holds this one (or nothing).
    void reset(const PictureRecord& picture = PictureRecord())
    {
        if (picture_.Bits)
            deldib(picture_);
        picture_ = picture;
    }
    // Hands the picture over to whoever releases it next; the holder holds nothing after.
    [[nodiscard]] PictureRecord release() { return std::exchange(picture_, PictureRecord()); }

private:
    PictureRecord picture_;
};
