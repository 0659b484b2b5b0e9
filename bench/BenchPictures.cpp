// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchPictures.h"

#include <cstdlib>
#include <string>

namespace bench {

const char* CameraJpeg()
{
    static const char* const kFile = "/tmp/velmora-bench-6000x4000.jpg";
    static const bool made = [] {
        const std::string command = "convert -size " + std::to_string(kWidth) + "x" +
                                    std::to_string(kHeight) +
                                    " gradient:red-blue -attenuate 0.3 +noise Gaussian -quality 90 " +
                                    kFile;
        return std::system(command.c_str()) == 0;
    }();
    return made ? kFile : nullptr;
}

PictureRecord BigPicture(int bitCount)
{
    PictureRecord p = newdib(kWidth, kHeight, bitCount, nullptr, 0);
    for (int64_t i = 0; p.Bits && i < int64_t(p.Info->bmiHeader.biSizeImage); ++i)
        p.Bits[i] = uint8_t(i * 31);
    return p;
}

} // namespace bench
