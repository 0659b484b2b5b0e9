// SPDX-License-Identifier: GPL-3.0-or-later
#include "ColourProfile.h"

#include "DibFileFormats.h"
#include "DibStorage.h"

#include <lcms2.h>

#include <memory>

namespace {

struct ContextFreer
{
    void operator()(void* context) const { cmsDeleteContext(cmsContext(context)); }
};
struct ProfileCloser
{
    void operator()(void* profile) const { cmsCloseProfile(cmsHPROFILE(profile)); }
};
struct TransformFreer
{
    void operator()(void* transform) const { cmsDeleteTransform(cmsHTRANSFORM(transform)); }
};
using Context = std::unique_ptr<void, ContextFreer>;
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformFreer>;

// Every call has a context of its own: LittleCMS then keeps no state between pictures. Its error
// messages, which it would only log, are counted in *errors when given, else go nowhere.
Context NewContext(int* errors = nullptr)
{
    Context context(cmsCreateContext(nullptr, errors));
    if (context)
        cmsSetLogErrorHandlerTHR(cmsContext(context.get()),
                                 [](cmsContext c, cmsUInt32Number, const char*) {
                                     if (auto* count = static_cast<int*>(cmsGetContextUserData(c)))
                                         ++*count;
                                 });
    return context;
}

Profile OpenProfile(cmsContext context, const QByteArray& bytes)
{
    return Profile(
        cmsOpenProfileFromMemTHR(context, bytes.constData(), cmsUInt32Number(bytes.size())));
}

uint32_t HeaderColourSpaceOf(cmsHPROFILE profile)
{
    return uint32_t(cmsGetColorSpace(profile));
}

uint32_t HeaderClassOf(cmsHPROFILE profile)
{
    return uint32_t(cmsGetDeviceClass(profile));
}

// The signatures are the profile's own four bytes, any value a file holds: they are compared
// as numbers, never held in LittleCMS's enums, whose values they need not be.
ProfileColours ColoursOf(uint32_t space)
{
    switch (space) {
    case cmsSigGrayData:
        return ProfileColours::Grey;
    case cmsSigRgbData:
        return ProfileColours::Rgb;
    case cmsSigCmykData:
        return ProfileColours::Cmyk;
    default:
        return ProfileColours::None;
    }
}

const char* WithArticle(ProfileColours colours)
{
    switch (colours) {
    case ProfileColours::Grey:
        return "a grey";
    case ProfileColours::Rgb:
        return "an RGB";
    case ProfileColours::Cmyk:
        return "a CMYK";
    case ProfileColours::None:
        break;
    }
    return "a";
}

// A reader takes the profile from pixel values to the colours it shows, under the intent it
// picks by default: perceptual for some, relative colorimetric with black point compensation for
// others (poppler). Both must link, which LittleCMS proves by making the transform: a profile
// whose table for one intent is unusable would have a viewer fail on the document.
bool ReadsPixels(cmsContext context, cmsHPROFILE profile, ProfileColours colours)
{
    const cmsUInt32Number format = colours == ProfileColours::Grey  ? TYPE_GRAY_8
                                   : colours == ProfileColours::Rgb ? TYPE_RGB_8
                                                                    : TYPE_CMYK_8;
    const Profile screen(cmsCreate_sRGBProfileTHR(context));
    if (!screen)
        return false;
    for (const cmsUInt32Number intent :
         {cmsUInt32Number(INTENT_PERCEPTUAL), cmsUInt32Number(INTENT_RELATIVE_COLORIMETRIC)}) {
        const Transform transform(cmsCreateTransformTHR(
            context, profile, format, screen.get(), TYPE_RGB_8, intent,
            cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION));
        if (!transform)
            return false;
    }
    return true;
}

// LittleCMS reads a tag only when a transform asks for it. The tables of the other direction
// and intents, which a viewer of the document may ask for, are read here too, so that a damaged
// one leaves the profile out instead of going into the document.
bool TransformTagsRead(cmsHPROFILE profile)
{
    constexpr cmsTagSignature kTags[] = {
        cmsSigAToB0Tag,       cmsSigAToB1Tag,          cmsSigAToB2Tag,
        cmsSigBToA0Tag,       cmsSigBToA1Tag,          cmsSigBToA2Tag,
        cmsSigDToB0Tag,       cmsSigDToB1Tag,          cmsSigDToB2Tag,
        cmsSigBToD0Tag,       cmsSigBToD1Tag,          cmsSigBToD2Tag,
        cmsSigRedColorantTag, cmsSigGreenColorantTag,  cmsSigBlueColorantTag,
        cmsSigRedTRCTag,      cmsSigGreenTRCTag,       cmsSigBlueTRCTag,
        cmsSigGrayTRCTag,     cmsSigMediaWhitePointTag};
    for (const cmsTagSignature tag : kTags)
        if (cmsIsTag(profile, tag) && !cmsReadTag(profile, tag))
            return false;
    return true;
}

} // namespace

int ColourProfile::Channels() const
{
    if (bytes.isEmpty())
        return 0;
    switch (colours) {
    case ProfileColours::Grey:
        return 1;
    case ProfileColours::Rgb:
        return 3;
    case ProfileColours::Cmyk:
        return 4;
    case ProfileColours::None:
        break;
    }
    return 0;
}

ProfileCheck CheckColourProfile(const QByteArray& bytes, ProfileColours fileColours)
{
    ProfileCheck check;
    if (bytes.isEmpty())
        return check;
    int errors = 0;
    const Context context = NewContext(&errors);
    if (!context) {
        check.refusal = "not enough memory to read it";
        return check;
    }
    const auto c = cmsContext(context.get());
    const Profile profile = OpenProfile(c, bytes);
    if (!profile) {
        check.refusal = "damaged";
        return check;
    }
    const uint32_t kind = HeaderClassOf(profile.get());
    if (kind == cmsSigLinkClass || kind == cmsSigAbstractClass || kind == cmsSigNamedColorClass) {
        check.refusal = "not the profile of a picture's colours";
        return check;
    }
    const ProfileColours colours = ColoursOf(HeaderColourSpaceOf(profile.get()));
    if (colours == ProfileColours::None) {
        check.refusal = "a profile of colours Velmora does not print";
        return check;
    }
    if (fileColours == ProfileColours::None) {
        check.refusal =
            std::string(WithArticle(colours)) + " profile on a picture of other colours";
        return check;
    }
    if (colours != fileColours) {
        check.refusal = std::string(WithArticle(colours)) + " profile on " +
                        WithArticle(fileColours) + " picture";
        return check;
    }
    // LittleCMS still makes a transform when a step inside it fails, such as finding the black
    // point through a round trip that does not link; it only logs that, and poppler reports the
    // log as an error of the document. A profile that logs one is left out.
    errors = 0;
    if (!ReadsPixels(c, profile.get(), colours) || !TransformTagsRead(profile.get()) ||
        errors > 0) {
        check.refusal = "damaged";
        return check;
    }
    check.profile.bytes = bytes;
    check.profile.colours = colours;
    // The encoded version is 0xMMmm....: major, then minor and bug fix as two nibbles.
    const cmsUInt32Number version = cmsGetEncodedICCversion(profile.get());
    check.profile.major = int(version >> 24);
    check.profile.minor = int((version >> 20) & 0xF);
    return check;
}

ProfileCheck CheckEmbeddedProfile(const EmbeddedProfile& embedded)
{
    if (embedded.damaged)
        return {{}, "damaged"};
    return CheckColourProfile(embedded.bytes, embedded.fileColours);
}

const ColourProfile& PictureColourProfile(const PictureRecord& picture)
{
    static const ColourProfile none;
    const DibStorage* storage = StorageOf(picture);
    return storage && picture.Bits ? storage->profile : none;
}

void SetPictureColourProfile(PictureRecord& picture, const ColourProfile& profile)
{
    if (DibStorage* storage = StorageOf(picture))
        storage->profile = profile;
}

void KeepColourProfile(const PictureRecord& from, PictureRecord& to)
{
    if (to.Bits)
        SetPictureColourProfile(to, PictureColourProfile(from));
}

bool HasGreyColourTable(const PictureRecord& picture)
{
    if (!picture.Info)
        return false;
    const int n = ColourTableSize(picture.Info->bmiHeader.biBitCount);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        if (c.rgbRed != c.rgbGreen || c.rgbGreen != c.rgbBlue)
            return false;
    }
    return n > 0;
}

bool ProfileFitsPixels(const ColourProfile& profile, const PictureRecord& picture)
{
    if (profile.empty() || !picture.Info)
        return false;
    const bool paletted = ColourTableSize(picture.Info->bmiHeader.biBitCount) > 0;
    switch (profile.colours) {
    case ProfileColours::Rgb:
        return true;
    case ProfileColours::Grey:
        return paletted && HasGreyColourTable(picture);
    case ProfileColours::Cmyk:
    case ProfileColours::None:
        break;
    }
    return false;
}

std::string ProfileDescription(const ColourProfile& profile)
{
    if (profile.empty())
        return {};
    const Context context = NewContext();
    if (!context)
        return {};
    const Profile opened = OpenProfile(cmsContext(context.get()), profile.bytes);
    if (!opened)
        return {};
    char text[256] = {};
    cmsGetProfileInfoASCII(opened.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    std::string description(text);
    while (!description.empty() && (description.back() == ' ' || description.back() == '\n'))
        description.pop_back();
    return description;
}

const char* ProfileColoursText(ProfileColours colours)
{
    switch (colours) {
    case ProfileColours::Grey:
        return QT_TRANSLATE_NOOP("ColourProfile", "grey");
    case ProfileColours::Rgb:
        return QT_TRANSLATE_NOOP("ColourProfile", "RGB");
    case ProfileColours::Cmyk:
        return QT_TRANSLATE_NOOP("ColourProfile", "CMYK");
    case ProfileColours::None:
        break;
    }
    return QT_TRANSLATE_NOOP("ColourProfile", "none");
}
