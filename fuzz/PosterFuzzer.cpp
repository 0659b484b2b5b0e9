// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a picture file, to what prints a poster from it: the JPEG's own
// blocks cut on their grid with a lossless edit chosen by the bytes (CutJpeg directly, and
// through the document), the picture's pixels otherwise, each page's share written by
// PdfDocument. The document is then read back and every page drawn by poppler, which must
// find nothing wrong with it.
#include "DibFileFormats.h"
#include "FuzzInput.h"
#include "GrafikRW.h"
#include "JpegCut.h"
#include "JpegSource.h"
#include "PdfDocument.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The same input always takes the same edits, and seeds keep their bytes for the decoders.
uint32_t Choice(const uint8_t* data, size_t size)
{
    uint32_t hash = 2166136261u; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

std::shared_ptr<const JpegSource> Edited(std::shared_ptr<const JpegSource> jpeg, uint32_t choice)
{
    constexpr PictureEdit::Kind kEdits[] = {PictureEdit::Kind::Mirror, PictureEdit::Kind::Flip,
                                            PictureEdit::Kind::TurnLeft,
                                            PictureEdit::Kind::TurnRight};
    for (int step = 0; jpeg && step < 3; ++step, choice >>= 3) {
        if ((choice & 4) == 0)
            continue;
        if ((choice & 3) == 3 && jpeg->width > 2 && jpeg->height > 2) // a part off the edges
            jpeg = EditedJpeg(jpeg, PictureEdit::Cut(1, 1, jpeg->width - 1, jpeg->height - 1));
        else
            jpeg = EditedJpeg(jpeg, {kEdits[choice & 3]});
    }
    return jpeg;
}

// The cutter on its own: four regions on the view's grid, each part a JPEG of the region's size.
void CutIntoFour(const JpegSource& jpeg)
{
    const JpegView& v = jpeg.view;
    const int32_t gw = v.grid.width, gh = v.grid.height;
    if (gw <= 0 || gh <= 0 || v.paddedWidth <= 0 || v.paddedHeight <= 0)
        return;
    const int32_t midX = std::max(gw, (v.paddedWidth / 2) / gw * gw);
    const int32_t midY = std::max(gh, (v.paddedHeight / 2) / gh * gh);
    std::vector<JpegRegion> regions;
    for (const int32_t y : {0, midY})
        for (const int32_t x : {0, midX})
            if (x < v.paddedWidth && y < v.paddedHeight)
                regions.push_back({x, y, (x == 0 ? midX : v.paddedWidth) - x,
                                   (y == 0 ? midY : v.paddedHeight) - y});
    std::vector<std::vector<uint8_t>> parts;
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data.constData());
    if (CutJpeg(data, size_t(jpeg.data.size()), v, regions, parts) != JpegCutResult::Cut)
        return;
    if (parts.size() != regions.size())
        __builtin_trap();
    for (size_t i = 0; i < parts.size(); ++i) {
        JpegFacts facts;
        if (!ReadJpegFacts(parts[i].data(), parts[i].size(), facts) ||
            facts.width != regions[i].w || facts.height != regions[i].h)
            __builtin_trap();
    }
}

void PopplerError(const std::string& message, void* closure)
{
    static_cast<std::string*>(closure)->append(message).append("\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = InputFile();
    static const QString fileName = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (!Fill(fd, data, size))
        return 0;
    const uint32_t choice = Choice(data, size);

    // A few hundred bytes whose frame claims a gigapixel are refused by the program at once,
    // but under AddressSanitizer the cutter's coefficient arrays for them take tens of seconds.
    const std::optional<PictureClaim> claim = ClaimBySignature(data, size);
    const std::shared_ptr<const JpegSource> jpeg =
        claim && claim->fitsFile ? Edited(ReadJpegSource(fileName), choice) : nullptr;
    if (jpeg)
        CutIntoFour(*jpeg);
    // Pixels only when there is no JPEG to print from, or every other time beside it.
    const bool pixels = !jpeg || (choice >> 12) & 1;
    const PictureRecord picture =
        pixels ? OpenDib(fileName.toLocal8Bit().constData(), 0) : PictureRecord();
    const int32_t width = jpeg ? jpeg->width : (picture.Bits ? DIBWidth(picture) : 0);
    const int32_t height = jpeg ? jpeg->height : (picture.Bits ? DIBHeight(picture) : 0);
    if (width <= 0 || height <= 0 ||
        (picture.Bits && (width != DIBWidth(picture) || height != DIBHeight(picture)))) {
        if (picture.Bits)
            deldib(picture);
        return 0;
    }

    // Four pages, a share of the picture on each, on a small sheet at 72 dpi.
    std::vector<StretchRects> shares;
    const int32_t halfW = std::max(1, width / 2), halfH = std::max(1, height / 2);
    for (const int32_t top : {0, halfH})
        for (const int32_t left : {0, halfW})
            if (left < width && top < height) {
                const int32_t w = left == 0 ? halfW : width - left;
                const int32_t h = top == 0 ? halfH : height - top;
                shares.push_back({10, 10, 100, 100, left, height - top - h, w, h});
            }
    QByteArray pdf;
    {
        QBuffer out(&pdf);
        out.open(QIODevice::WriteOnly);
        PdfDocument document(out, {QSizeF(120, 120), 72, QPointF(0, 0)}, QStringLiteral("fuzz"));
        bool fine = document.Begin();
        const PosterSource source = PosterSource::Jpeg(jpeg);
        if (fine && jpeg && !document.ExpectPictures(source, shares) && !picture.Bits)
            fine = false; // the data does not cut, and there are no pixels to print instead
        for (size_t i = 0; fine && i < shares.size(); ++i) {
            if (i > 0)
                fine = document.NewPage();
            document.DrawPicture(picture, source, shares[i], false);
        }
        if (fine && !document.Finish())
            __builtin_trap(); // a buffer takes every write
        if (!fine)
            pdf.clear();
    }
    if (picture.Bits)
        deldib(picture);
    if (pdf.isEmpty())
        return 0;

    std::string errors;
    poppler::set_debug_error_function(PopplerError, &errors);
    const std::unique_ptr<poppler::document> read(
        poppler::document::load_from_raw_data(pdf.constData(), int(pdf.size())));
    if (!read || read->is_locked() || read->pages() != int(shares.size()))
        __builtin_trap();
    poppler::page_renderer renderer;
    for (int i = 0; i < read->pages(); ++i) {
        const std::unique_ptr<poppler::page> page(read->create_page(i));
        if (!page || !renderer.render_page(page.get(), 36, 36).is_valid())
            __builtin_trap();
    }
    if (!errors.empty()) { // poppler found the document or one of its images damaged
        std::fprintf(stderr, "poppler: %s", errors.c_str());
        __builtin_trap();
    }
    return 0;
}
