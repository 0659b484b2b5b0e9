// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to OpenDib through a file, as the program would meet them. The file is
// an anonymous one in memory, reached by its /proc name, so that no run leaves one behind,
// however it ends.
#include "ColourProfile.h"
#include "FuzzInput.h"
#include "GrafikRW.h"
#include "PictureOrientation.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = InputFile();
    static const std::string fileName = "/proc/self/fd/" + std::to_string(fd);
    if (!Fill(fd, data, size))
        return 0;

    // The orientation tag is read from the same bytes as the window reads it, before the picture.
    const int orientation = PictureOrientation(data, size);
    if (orientation < 0 || orientation > 8)
        __builtin_trap();

    // The profile of a JPEG printed from its own data is read from its header alone.
    const ProfileCheck jpegProfile = JpegColourProfile(data, size);
    if (!jpegProfile.profile.empty() && jpegProfile.profile.Channels() == 0)
        __builtin_trap();

    const PictureRecord picture = OpenDib(fileName.c_str(), 0);
    if (picture.Bits) {
        // A profile kept with the picture is one LittleCMS reads.
        const ColourProfile& profile = PictureColourProfile(picture);
        if (!profile.empty() &&
            (profile.Channels() == 0 || ProfileDescription(profile).size() > 255))
            __builtin_trap();
        // Touch the first and last row so that a record with wrong sizes shows under ASan.
        const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
        volatile uint8_t sink = picture.Bits[0];
        sink = picture.Bits[int64_t(h.biHeight) * picture.BytesPerLine - 1];
        (void)sink;
        deldib(picture);
    }
    return 0;
}
