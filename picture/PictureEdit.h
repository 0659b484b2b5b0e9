// SPDX-License-Identifier: GPL-3.0-or-later
// One change of the picture's geometry, as a button of the "Modify picture" page makes it. The
// same edit is made on the picture's pixels, on a JPEG's blocks and on a drawing's page, so that
// whatever the poster prints from stays the picture the window shows.
#pragma once

#include <cstdint>
#include <optional>

struct PictureEdit
{
    enum class Kind
    {
        Cut,       // the part left..right-1, top..bottom-1 kept
        TurnLeft,  // a quarter counter-clockwise
        TurnRight, // a quarter clockwise
        Mirror,    // left and right exchanged
        Flip,      // top and bottom exchanged
    };
    Kind kind = Kind::Mirror;
    int32_t left = 0; // for a cut: pixels from the top-left of the picture as it shows
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    static PictureEdit Cut(int32_t left, int32_t top, int32_t right, int32_t bottom)
    {
        return {Kind::Cut, left, top, right, bottom};
    }
    bool operator==(const PictureEdit&) const = default;
};

// The edit that takes the picture back, for the edits that lose nothing; none for a cut.
inline std::optional<PictureEdit> InverseOf(const PictureEdit& edit)
{
    switch (edit.kind) {
    case PictureEdit::Kind::TurnLeft:
        return PictureEdit{PictureEdit::Kind::TurnRight};
    case PictureEdit::Kind::TurnRight:
        return PictureEdit{PictureEdit::Kind::TurnLeft};
    case PictureEdit::Kind::Mirror:
    case PictureEdit::Kind::Flip:
        return edit;
    case PictureEdit::Kind::Cut:
        break;
    }
    return std::nullopt;
}
