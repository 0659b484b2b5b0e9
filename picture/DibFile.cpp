// SPDX-License-Identifier: GPL-3.0-or-later
// Reading picture files. The file is read whole into memory of our own (a file that shrinks on
// the way is cut short, never a fault of memory the file no longer backs), its header read and
// weighed (what it claims against what its bytes can hold and the memory there is), and only
// then decoded: JPEG, GIF, PNG and
// TIFF by their own libraries straight into the record's rows, the other types by SDL_image,
// whose surface is then mapped onto the depths of the record.
//
// The format code is not needed for reading: every type is recognised by its contents, which is
// what code 0 asks for, and other codes are read the same way.
#include "DibFileFormats.h"
#include "SdlCalls.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct SurfaceFreer
{
    void operator()(SDL_Surface* s) const { Sdl()->FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

// Colour index of pixel x in a row of an indexed SDL surface.
int IndexAt(const uint8_t* row, int x, uint32_t format)
{
    switch (format) {
    case SDL_PIXELFORMAT_INDEX1MSB:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case SDL_PIXELFORMAT_INDEX1LSB:
        return (row[x >> 3] >> (x & 7)) & 1;
    case SDL_PIXELFORMAT_INDEX4MSB:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case SDL_PIXELFORMAT_INDEX4LSB:
        return (x & 1) ? (row[x >> 1] >> 4) : (row[x >> 1] & 0x0F);
    default:
        return row[x];
    }
}

PictureRecord FromIndexed(const SDL_Surface& surface, int width)
{
    const SDL_Palette& palette = *surface.format->palette;
    const int colours = palette.ncolors < 1 ? 1 : (palette.ncolors > 256 ? 256 : palette.ncolors);
    const int depth = DepthForColours(colours);

    BITMAPINFO table = {};
    for (int i = 0; i < colours; ++i) {
        const SDL_Color& c = palette.colors[i];
        table.bmiColors[i] = {c.b, c.g, c.r, 0};
    }
    const PictureRecord picture = newdib(width, surface.h, depth, &table, colours);
    if (!picture.Bits)
        return picture;

    const uint32_t format = surface.format->format;
    // Indices beyond the table of a smaller depth (a damaged file) are cut to that depth, which
    // keeps them inside the table.
    const int indexMask = (1 << depth) - 1;
    for (int r = 0; r < surface.h; ++r) {
        const auto* in = static_cast<const uint8_t*>(surface.pixels) + int64_t(r) * surface.pitch;
        uint8_t* out = picture.Bits + int64_t(surface.h - 1 - r) * picture.BytesPerLine;
        if (depth == 8 && format == SDL_PIXELFORMAT_INDEX8) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x)
            StoreIndex(out, x, depth, IndexAt(in, x, format) & indexMask);
    }
    return picture;
}

// Colour surfaces are converted a row at a time, so that beside the surface and the record only
// one row is held.
PictureRecord FromTrueColour(const SDL_Surface& surface, int width)
{
    const uint32_t format = surface.format->format;
    const bool bgr = format == SDL_PIXELFORMAT_BGR24;
    std::unique_ptr<uint8_t[]> converted;
    if (!bgr) {
        converted.reset(new (std::nothrow) uint8_t[size_t(surface.w) * 4]);
        if (!converted)
            return {};
    }
    const PictureRecord picture = newdib(width, surface.h, 24, nullptr, 0);
    if (!picture.Bits)
        return picture;

    const bool hasAlpha = SDL_ISPIXELFORMAT_ALPHA(format);
    for (int r = 0; r < surface.h; ++r) {
        const auto* in = static_cast<const uint8_t*>(surface.pixels) + int64_t(r) * surface.pitch;
        uint8_t* out = picture.Bits + int64_t(surface.h - 1 - r) * picture.BytesPerLine;
        if (bgr) {
            std::memcpy(out, in, size_t(width) * 3);
            continue;
        }
        // BGRA32 is blue, green, red, alpha in memory, whatever the byte order of the machine.
        if (Sdl()->ConvertPixels(surface.w, 1, format, in, surface.pitch, SDL_PIXELFORMAT_BGRA32,
                                 converted.get(), surface.w * 4) != 0) {
            deldib(picture);
            return {};
        }
        const uint8_t* bgra = converted.get();
        for (int x = 0; x < width; ++x, bgra += 4, out += 3) {
            const uint8_t alpha = hasAlpha ? bgra[3] : 255;
            out[0] = OverWhite(bgra[0], alpha);
            out[1] = OverWhite(bgra[1], alpha);
            out[2] = OverWhite(bgra[2], alpha);
        }
    }
    return picture;
}

// Bytes are read this many at a time: large enough that the calls cost nothing beside the
// copying, small enough that a file which ends early is noticed before much more is asked for.
constexpr size_t kReadChunk = size_t(8) << 20;

std::atomic<FileReadHook> readHook{nullptr};

// Fresh memory costs a fault for each page it is first written to, which for a large file would
// cost more than reading it; large pages, where the system gives them on request, take 512
// times fewer.
void AskForLargePages(char* data, uint64_t size)
{
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLargePage - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// The system's verdict on a name that is no regular file, before anything is opened: a FIFO
// without a writer would block, and a device would give bytes for ever.
ReadFailure KindOfFile(const struct stat& facts)
{
    if (S_ISDIR(facts.st_mode))
        return ReadFailure::Folder;
    if (!S_ISREG(facts.st_mode))
        return ReadFailure::NotRegularFile;
    return ReadFailure::None;
}

// SDL reading the file's bytes, with 64-bit positions (SDL's own memory reader takes an int).
struct MemorySpan
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

MemorySpan& SpanOf(SDL_RWops* ops)
{
    return *static_cast<MemorySpan*>(ops->hidden.unknown.data1);
}

Sint64 SDLCALL SpanSize(SDL_RWops* ops)
{
    return Sint64(SpanOf(ops).size);
}

Sint64 SDLCALL SpanSeek(SDL_RWops* ops, Sint64 offset, int whence)
{
    MemorySpan& s = SpanOf(ops);
    const Sint64 base =
        whence == RW_SEEK_CUR ? Sint64(s.position) : (whence == RW_SEEK_END ? Sint64(s.size) : 0);
    const Sint64 target = base + offset;
    if (target < 0 || target > Sint64(s.size))
        return Sdl()->SetError("seek outside the file");
    s.position = size_t(target);
    return target;
}

size_t SDLCALL SpanRead(SDL_RWops* ops, void* target, size_t size, size_t count)
{
    MemorySpan& s = SpanOf(ops);
    if (size == 0)
        return 0;
    const size_t whole = std::min(count, (s.size - s.position) / size);
    std::memcpy(target, s.data + s.position, whole * size);
    s.position += whole * size;
    return whole;
}

size_t SDLCALL SpanWrite(SDL_RWops*, const void*, size_t, size_t)
{
    return 0;
}

int SDLCALL SpanClose(SDL_RWops* ops)
{
    Sdl()->FreeRW(ops);
    return 0;
}

struct RWCloser
{
    void operator()(SDL_RWops* ops) const { Sdl()->RWclose(ops); }
};
using RWPtr = std::unique_ptr<SDL_RWops, RWCloser>;

RWPtr OpenSpan(MemorySpan& span)
{
    const SdlCalls* sdl = Sdl();
    RWPtr ops(sdl ? sdl->AllocRW() : nullptr);
    if (!ops)
        return ops;
    ops->size = SpanSize;
    ops->seek = SpanSeek;
    ops->read = SpanRead;
    ops->write = SpanWrite;
    ops->close = SpanClose;
    ops->type = SDL_RWOPS_UNKNOWN;
    ops->hidden.unknown.data1 = &span;
    return ops;
}

// A headerless DIB with the file header put in front, as the BMP decoder wants it.
std::vector<uint8_t> WithFileHeader(const uint8_t* data, size_t size)
{
    constexpr size_t kFileHeader = 14;
    const uint32_t headerSize = uint32_t(data[0]) | (uint32_t(data[1]) << 8);
    const bool core = headerSize == 12;
    const unsigned bits = core ? (data[10] | (data[11] << 8)) : (data[14] | (data[15] << 8));
    const uint32_t compression = core ? 0 : (data[16] | (data[17] << 8));
    const uint32_t used = core ? 0 : (uint32_t(data[32]) | (data[33] << 8) | (data[34] << 16));
    const size_t entries = bits <= 8 ? (used ? used : (1u << bits)) : used;
    const size_t masks = (compression == 3 && headerSize == 40) ? 12 : 0;
    const size_t offset = kFileHeader + headerSize + masks + entries * (core ? 3 : 4);
    std::vector<uint8_t> file(kFileHeader + size, 0);
    const size_t total = file.size();
    file[0] = 'B';
    file[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        file[2 + i] = uint8_t(total >> (8 * i));
        file[10 + i] = uint8_t(offset >> (8 * i));
    }
    std::memcpy(file.data() + kFileHeader, data, size);
    return file;
}

SDL_Surface* DecodeWithSdl(const uint8_t* data, size_t size, PictureType type, bool headerless)
{
    std::vector<uint8_t> copy;
    if (headerless) {
        try {
            copy = WithFileHeader(data, size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        data = copy.data();
        size = copy.size();
    }
    MemorySpan span{data, size, 0};
    const RWPtr source = OpenSpan(span);
    if (!source)
        return nullptr;
    switch (type) {
    case PictureType::Bmp:
        return Sdl()->LoadBMP(source.get());
    case PictureType::Tga:
        return Sdl()->LoadTGA(source.get());
    case PictureType::Pcx:
        return Sdl()->LoadPCX(source.get());
    case PictureType::Lbm:
        return Sdl()->LoadLBM(source.get());
    case PictureType::Pnm:
        return Sdl()->LoadPNM(source.get());
    case PictureType::Qoi:
        return Sdl()->LoadQOI(source.get());
    case PictureType::Webp:
        return Sdl()->LoadWEBP(source.get());
    default:
        return nullptr;
    }
}

// The file's bytes are released as soon as the surface is decoded, so that the surface, the
// file and the record are never held at once.
DirectResult ReadWithSdl(QByteArray& file, const PictureClaim& claim, PictureRecord& out)
{
    const auto* data = reinterpret_cast<const uint8_t*>(file.constData());
    const size_t size = size_t(file.size());
    const bool headerless = claim.type == PictureType::Bmp && size >= 2 && data[0] != 'B';
    std::vector<uint8_t> withoutColourMaps;
    if (claim.type == PictureType::Lbm) {
        switch (CheckLbmForDecoder(data, size)) {
        case LbmCheck::Refuse:
            return DirectResult::Damaged;
        case LbmCheck::Decode:
            break;
        case LbmCheck::DecodeWithoutColourMap:
            try {
                withoutColourMaps.assign(data, data + size);
            } catch (const std::bad_alloc&) {
                return DirectResult::NoMemory;
            }
            HideLbmColourMaps(withoutColourMaps.data(), size);
            data = withoutColourMaps.data();
            break;
        }
    }
    SurfacePtr surface;
    {
        const DecoderBudget budget(claim.decoderBytes + kDecoderWorkingBytes);
        surface.reset(DecodeWithSdl(data, size, claim.type, headerless));
    }
    if (!surface || !surface->pixels || !surface->format)
        return DirectResult::Damaged;
    // The IFF decoder widens its surface to whole 16-pixel words; the header has the true width.
    int width = surface->w;
    if (claim.type == PictureType::Lbm && claim.size.width < width)
        width = int(claim.size.width);
    if (width != claim.size.width || surface->h != claim.size.height)
        return DirectResult::Damaged;
    if (Sdl()->LockSurface(surface.get()) != 0)
        return DirectResult::Damaged;
    withoutColourMaps = std::vector<uint8_t>();
    file = QByteArray();
    const SDL_PixelFormat& format = *surface->format;
    out = (format.palette && format.BitsPerPixel <= 8) ? FromIndexed(*surface, width)
                                                       : FromTrueColour(*surface, width);
    Sdl()->UnlockSurface(surface.get());
    return out.Bits ? DirectResult::Read : DirectResult::NoMemory;
}

DirectResult Decode(QByteArray& file, const PictureClaim& claim, PictureRecord& out,
                    EmbeddedProfile& profile)
{
    const auto* data = reinterpret_cast<const uint8_t*>(file.constData());
    const size_t size = size_t(file.size());
    switch (claim.type) {
    case PictureType::Jpeg:
        return ReadJpeg(data, size, claim, out, &profile);
    case PictureType::Gif:
        return ReadGif(data, size, claim, out);
    case PictureType::Png:
        return ReadPng(data, size, claim, out, &profile);
    case PictureType::Tiff:
        return ReadTiff(data, size, claim, out, &profile);
    case PictureType::Pcx:
        if (IsRgbaPcx(data, size))
            return ReadRgbaPcx(data, size, claim, out);
        return ReadWithSdl(file, claim, out);
    default:
        return ReadWithSdl(file, claim, out);
    }
}

// True when the file begins as a type that this library reads does, whether or not its header
// is complete: a file of such a type whose header breaks off is damaged, not some other file.
bool HasKnownSignature(const uint8_t* data, size_t size)
{
    auto starts = [&](size_t at, const char* text, size_t length) {
        return size >= at + length && std::memcmp(data + at, text, length) == 0;
    };
    return starts(0, "BM", 2) || starts(0, "\x89PNG\r\n\x1a\n", 8) || starts(0, "qoif", 4) ||
           starts(0, "GIF8", 4) || starts(0, "\xFF\xD8\xFF", 3) || starts(0, "FORM", 4) ||
           starts(0, "II*\0", 4) || starts(0, "MM\0*", 4) ||
           (starts(0, "RIFF", 4) && starts(8, "WEBP", 4)) ||
           (size >= 2 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' &&
            (size == 2 || std::isspace(data[2])));
}

std::string Megabytes(uint64_t bytes)
{
    constexpr double kMegabyte = 1e6;
    return std::to_string(uint64_t(std::ceil(double(bytes) / kMegabyte))) + " MB";
}

} // namespace

int DepthForColours(int colours)
{
    constexpr int kOneBitColours = 2, kFourBitColours = 16;
    if (colours <= kOneBitColours)
        return 1;
    return colours <= kFourBitColours ? 4 : 8;
}

void SetFileReadHook(FileReadHook hook)
{
    readHook.store(hook);
}

WholeFile ReadWholeFile(const char* fileName, std::string_view mustStartWith)
{
    WholeFile file;
    if (!fileName || !*fileName) {
        file.failure = ReadFailure::NoSuchFile;
        return file;
    }
    struct stat facts = {};
    if (stat(fileName, &facts) != 0) {
        file.systemError = errno;
        file.failure = (errno == ENOENT || errno == ENOTDIR) ? ReadFailure::NoSuchFile
                                                             : ReadFailure::NotReadable;
        return file;
    }
    if ((file.failure = KindOfFile(facts)) != ReadFailure::None)
        return file;
    // Without blocking, should the name have become a FIFO since.
    const int fd = open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        file.systemError = errno;
        file.failure = ReadFailure::NotReadable;
        return file;
    }
    const struct Closer
    {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    if (fstat(fd, &facts) != 0) {
        file.systemError = errno;
        file.failure = ReadFailure::NotReadable;
        return file;
    }
    if ((file.failure = KindOfFile(facts)) != ReadFailure::None)
        return file;
    file.size = uint64_t(std::max<off_t>(facts.st_size, 0));
    if (file.size == 0) {
        file.failure = ReadFailure::NotAPicture;
        return file;
    }
    if (!mustStartWith.empty()) {
        std::string start(mustStartWith.size(), '\0');
        if (pread(fd, start.data(), start.size(), 0) != ssize_t(start.size()) ||
            start != mustStartWith) {
            file.failure = ReadFailure::NotAPicture;
            return file;
        }
    }
    file.available = MemoryForPictures();
    if (file.size > file.available || file.size > uint64_t(std::numeric_limits<qsizetype>::max())) {
        file.failure = ReadFailure::TooLarge;
        return file;
    }
    try {
        file.bytes = QByteArray(qsizetype(file.size), Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        file.failure = ReadFailure::TooLarge;
        return file;
    }
    char* into = file.bytes.data();
    AskForLargePages(into, file.size);
    uint64_t done = 0;
    while (done < file.size) {
        if (const FileReadHook hook = readHook.load())
            hook(done);
        const ssize_t got =
            read(fd, into + done, size_t(std::min<uint64_t>(kReadChunk, file.size - done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            file.systemError = errno;
            file.failure = ReadFailure::NotReadable;
            file.bytes = QByteArray();
            return file;
        }
        if (got == 0) { // the file ended before the size it had when it was opened
            file.failure = ReadFailure::Damaged;
            file.bytes = QByteArray();
            return file;
        }
        done += uint64_t(got);
    }
    return file;
}

PictureRead ReadPictureFile(const char* fileName, bool keepJpegBytes)
{
    PictureRead read;
    WholeFile file = ReadWholeFile(fileName);
    read.failure = file.failure;
    read.systemError = file.systemError;
    read.fileBytes = file.size;
    if (read.failure == ReadFailure::TooLarge) {
        read.neededBytes = file.size;
        read.availableBytes = file.available;
    }
    if (read.failure != ReadFailure::None)
        return read;
    const auto* data = reinterpret_cast<const uint8_t*>(file.bytes.constData());
    const size_t size = size_t(file.bytes.size());

    // The type its signature names, then TGA, which has none; each is weighed before it is
    // decoded, and the first reason to refuse the file is the one reported.
    std::optional<PictureClaim> candidates[] = {ClaimBySignature(data, size),
                                                ClaimAsTga(data, size)};
    if (!candidates[0] && !candidates[1]) {
        read.failure =
            HasKnownSignature(data, size) ? ReadFailure::Damaged : ReadFailure::NotAPicture;
        return read;
    }
    bool reported = false;
    for (const std::optional<PictureClaim>& claim : candidates) {
        if (!claim)
            continue;
        const ClaimVerdict verdict = JudgeClaim(*claim, file.available, size);
        auto report = [&](ReadFailure failure) {
            if (reported)
                return;
            reported = true;
            read.failure = failure;
            read.claimedWidth = claim->size.width;
            read.claimedHeight = claim->size.height;
            read.claimBeyondFile = !claim->fitsFile;
            read.claimFault = claim->fault;
            if (read.claimFault.empty() && (claim->size.width <= 0 || claim->size.height <= 0))
                read.claimFault = "it claims " + std::to_string(claim->size.width) + " x " +
                                  std::to_string(claim->size.height) + " pixels";
            read.neededBytes = verdict.needed;
            read.availableBytes = verdict.available;
        };
        if (verdict.failure != ReadFailure::None) {
            report(verdict.failure);
            continue;
        }
        PictureRecord picture;
        EmbeddedProfile embedded;
        const DirectResult result = Decode(file.bytes, *claim, picture, embedded);
        if (result == DirectResult::Read) {
            DIBChanged(picture);
            read = PictureRead{};
            read.picture = picture;
            // A profile that can't be used is left out; the picture is read all the same.
            const ProfileCheck check = CheckEmbeddedProfile(embedded);
            SetPictureColourProfile(read.picture, check.profile);
            read.profileNote = check.refusal;
            read.claimedWidth = claim->size.width;
            read.claimedHeight = claim->size.height;
            read.fileBytes = file.size;
            if (keepJpegBytes && claim->type == PictureType::Jpeg)
                read.jpegBytes = std::move(file.bytes);
            return read;
        }
        report(result == DirectResult::NoMemory ? ReadFailure::TooLarge : ReadFailure::Damaged);
        if (file.bytes.isEmpty()) // given up for the surface, which was then not taken
            break;
    }
    return read;
}

std::string ReadFailureText(const PictureRead& read)
{
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    const QString width = QString::number(read.claimedWidth);
    const QString height = QString::number(read.claimedHeight);
    QString reason;
    switch (read.failure) {
    case ReadFailure::None:
        return {};
    case ReadFailure::NoSuchFile:
        reason = QCoreApplication::translate("PictureRead", "no such file");
        break;
    case ReadFailure::Folder:
        reason = QCoreApplication::translate("PictureRead", "a folder, not a picture file");
        break;
    case ReadFailure::NotReadable:
        reason = QCoreApplication::translate("PictureRead", "not readable: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(read.systemError)));
        break;
    case ReadFailure::NotRegularFile:
        reason = QCoreApplication::translate("PictureRead", "not a regular file");
        break;
    case ReadFailure::NotAPicture:
        reason = read.fileBytes == 0
                     ? QCoreApplication::translate("PictureRead", "an empty file, not a picture")
                     : QCoreApplication::translate("PictureRead",
                                                   "not a picture of a type Velmora reads");
        break;
    case ReadFailure::Damaged:
        if (!read.claimFault.empty())
            reason = QCoreApplication::translate("PictureRead", "damaged or cut short: %1")
                         .arg(text(read.claimFault));
        else if (read.claimBeyondFile)
            reason = QCoreApplication::translate(
                         "PictureRead",
                         "damaged or cut short: it claims %1 x %2 pixels, more than its %3 bytes "
                         "can hold")
                         .arg(width, height, QString::number(read.fileBytes));
        else
            reason = QCoreApplication::translate("PictureRead", "damaged or cut short");
        break;
    case ReadFailure::TooLarge:
        if (read.claimedWidth == 0 && read.claimedHeight == 0)
            reason =
                QCoreApplication::translate(
                    "PictureRead",
                    "too large for the memory: its %1 are more than the %2 that can be had")
                    .arg(text(Megabytes(read.fileBytes)), text(Megabytes(read.availableBytes)));
        else if (double(read.claimedWidth) * double(read.claimedHeight) > double(kMaxPicturePixels))
            reason = QCoreApplication::translate(
                         "PictureRead",
                         "too large: it claims %1 x %2 pixels, more than the %3 pixels a picture "
                         "may have")
                         .arg(width, height, QString::number(kMaxPicturePixels));
        else
            reason =
                QCoreApplication::translate(
                    "PictureRead",
                    "too large for the memory: it claims %1 x %2 pixels, which need %3, and %4 "
                    "can be had")
                    .arg(width, height, text(Megabytes(read.neededBytes)),
                         text(Megabytes(read.availableBytes)));
        break;
    }
    return reason.toStdString();
}

PictureRecord OpenDib(const char* fileName, int32_t /*formatCode*/)
{
    return ReadPictureFile(fileName).picture;
}
