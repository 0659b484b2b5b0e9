// Feeds arbitrary bytes to OpenDib through a file, as the program would meet them.
#include "GrafikRW.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string InputFileName()
{
    return "/tmp/velmora-fuzz-" + std::to_string(getpid()) + ".pic";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string fileName = InputFileName();
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;

    const PictureRecord picture = OpenDib(fileName.c_str(), 0);
    if (picture.Bits) {
        // Touch the first and last row so that a record with wrong sizes shows under ASan.
        const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
        volatile uint8_t sink = picture.Bits[0];
        sink = picture.Bits[int64_t(h.biHeight) * picture.BytesPerLine - 1];
        (void)sink;
        deldib(picture);
    }
    return 0;
}
