// SPDX-License-Identifier: GPL-3.0-or-later
// The ICC colour profile a picture file carries: the colours its pixel values mean. It is read
// from JPEG (its APP2 chunks joined in order), PNG (iCCP) and TIFF (tag 34675), checked with
// LittleCMS against the colours the file codes, and kept with the picture, so that the poster
// document can describe the page images in it and a saved file carries it back. The screen shows
// the pixel values as they are, as it always did.
#pragma once

#include "GrafikRW.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <string>

enum class ProfileColours
{
    None,
    Grey,
    Rgb,
    Cmyk,
};

struct ColourProfile
{
    QByteArray bytes; // the profile as it was embedded; empty: none
    ProfileColours colours = ProfileColours::None;
    int major = 0; // the profile's version, for the document that carries it
    int minor = 0;

    bool empty() const { return bytes.isEmpty(); }
    // 1, 3 or 4 colour components; 0 for none.
    int Channels() const;
};

// What became of the profile found in a file whose pixels are coded in fileColours: the
// profile when it can be used, else the reason it was left out ("an RGB profile on a grey
// picture", "damaged"). Both are empty when there was none.
struct ProfileCheck
{
    ColourProfile profile;
    std::string refusal;
};
ProfileCheck CheckColourProfile(const QByteArray& bytes, ProfileColours fileColours);

// The profile of a JPEG file's data, read from its header alone, for printing from that data
// without decoding it.
ProfileCheck JpegColourProfile(const uint8_t* data, size_t size);

// The profile kept with the picture; empty for a picture without one and for a null record.
const ColourProfile& PictureColourProfile(const PictureRecord& picture);
void SetPictureColourProfile(PictureRecord& picture, const ColourProfile& profile);
// A picture made from another (cut, turned, copied) keeps its colours.
void KeepColourProfile(const PictureRecord& from, PictureRecord& to);

// True when every entry of the picture's colour table is a grey; false for 24 bits.
bool HasGreyColourTable(const PictureRecord& picture);
// Whether the profile describes the picture's pixels as they are stored: an RGB profile for
// 24 bits and for a colour table, a grey one for a colour table of greys only. A CMYK JPEG's
// profile fits its own data only, not the colours it was decoded to.
bool ProfileFitsPixels(const ColourProfile& profile, const PictureRecord& picture);

// The profile's own name from its description, for the tool's report; empty when it has none.
std::string ProfileDescription(const ColourProfile& profile);
// "RGB", "grey" or "CMYK".
const char* ProfileColoursText(ProfileColours colours);
