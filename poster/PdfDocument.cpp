// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfDocument.h"

#include "DrawingSource.h"
#include "GrafikRW.h"
#include "JpegCut.h"
#include "ParallelDeflate.h"
#include "PdfNumber.h"
#include "PrintJob.h"
#include "ReplacingFile.h"
#include "VectorPage.h"

#include <QCoreApplication>
#include <QFile>
#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr int kCatalog = 1;
constexpr int kPageTree = 2;
constexpr int kInfo = 3;
constexpr int kFirstFreeObject = 4;
// Speed before the last few per cent of size: on photos, level 1 makes pages about 5 % larger
// than the default level, in a quarter of the time.
constexpr int kDeflateLevel = 1;

// The colour space of a JPEG's DCT image, and how a reader is to decode it: CMYK with an Adobe
// marker holds its inks inverted; colour coded as RGB, or inks as CMYK, must not be converted
// from YCbCr, which readers otherwise assume for three components.
// The data's own profile, when it has one, takes the place of the device colours.
QByteArray DctColours(const JpegFacts& facts, const QByteArray& profileSpace)
{
    const auto space = [&profileSpace](const char* device) {
        return " /ColorSpace " + (profileSpace.isEmpty() ? QByteArray(device) : profileSpace);
    };
    switch (facts.colours) {
    case JpegColours::Grey:
        return space("/DeviceGray");
    case JpegColours::YCbCr:
        return space("/DeviceRGB");
    case JpegColours::Rgb:
        return space("/DeviceRGB") + " /DecodeParms << /ColorTransform 0 >>";
    case JpegColours::Cmyk:
    case JpegColours::Ycck:
        return space("/DeviceCMYK") + (facts.adobe ? " /Decode [1 0 1 0 1 0 1 0]" : "") +
               (facts.colours == JpegColours::Ycck ? " /DecodeParms << /ColorTransform 1 >>"
                                                   : " /DecodeParms << /ColorTransform 0 >>");
    }
    return space("/DeviceRGB");
}

const char* DeviceSpaceOf(const ColourProfile& profile)
{
    switch (profile.colours) {
    case ProfileColours::Grey:
        return "/DeviceGray";
    case ProfileColours::Cmyk:
        return "/DeviceCMYK";
    case ProfileColours::Rgb:
    case ProfileColours::None:
        break;
    }
    return "/DeviceRGB";
}

// PDF 1.4 takes profiles of version 2 and before; 1.5 takes 4.0, 1.6 4.1 and 1.7 4.2 and
// later. The catalog raises the header's version when an image is described in a newer one.
QByteArray CatalogVersion(int newestProfile)
{
    if (newestProfile >= 42)
        return " /Version /1.7";
    if (newestProfile >= 41)
        return " /Version /1.6";
    if (newestProfile >= 40)
        return " /Version /1.5";
    return {};
}

QByteArray Ref(int object)
{
    return QByteArray::number(object) + " 0 R";
}

// A text string: literal for plain ASCII, else UTF-16 with its byte order mark, in hex.
QByteArray TextString(const QString& text)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii) {
        QByteArray escaped = text.toLatin1();
        escaped.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
        return '(' + escaped + ')';
    }
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text) {
        utf16 += char(c.unicode() >> 8);
        utf16 += char(c.unicode() & 0xFF);
    }
    return '<' + utf16.toHex() + '>';
}

using Part = SourcePart;

// Only a destination that is drawn at all, left to right and top to bottom, has a part to show.
Part PartOf(const StretchRects& r, int32_t width, int32_t height)
{
    if (r.destWidth <= 0 || r.destHeight <= 0)
        return {};
    return SourcePartOf(r, width, height);
}

// Where the part lands in device pixels, and the scale from picture pixels to device pixels.
struct Placement
{
    double left = 0, top = 0, kx = 1, ky = 1;
};

Placement PlacementOf(const StretchRects& r, const Part& p)
{
    Placement at;
    at.kx = double(r.destWidth) / r.srcWidth;
    at.ky = double(r.destHeight) / r.srcHeight;
    at.left = r.destX + (double(p.x0) - r.srcX) * at.kx;
    at.top = r.destY + (double(r.srcY) + r.srcHeight - p.y1) * at.ky;
    return at;
}

// One row of the part, top row first, as the PDF image holds it: RGB for 24 bits, the colour
// indices packed from the high bits for the others.
void PartRow(const PictureRecord& picture, const Part& p, int i, uint8_t* out)
{
    const int bits = picture.Info->bmiHeader.biBitCount;
    const uint8_t* src = picture.Bits + int64_t(p.y1 - 1 - i) * picture.BytesPerLine;
    const int32_t w = p.x1 - p.x0;
    switch (bits) {
    case 24:
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* px = src + int64_t(p.x0 + x) * 3;
            out[3 * x] = px[2];
            out[3 * x + 1] = px[1];
            out[3 * x + 2] = px[0];
        }
        break;
    case 8:
        std::memcpy(out, src + p.x0, size_t(w));
        break;
    case 4:
        if (p.x0 % 2 == 0) {
            std::memcpy(out, src + p.x0 / 2, size_t((w + 1) / 2));
        } else {
            for (int32_t x = 0; x < w; x += 2) {
                const int32_t c = p.x0 + x;
                const uint8_t hi = src[c >> 1] & 0x0F;
                const uint8_t lo = x + 1 < w ? src[(c + 1) >> 1] >> 4 : 0;
                out[x / 2] = uint8_t(hi << 4 | lo);
            }
        }
        break;
    case 1:
        if (p.x0 % 8 == 0) {
            std::memcpy(out, src + p.x0 / 8, size_t((w + 7) / 8));
        } else {
            std::memset(out, 0, size_t((w + 7) / 8));
            for (int32_t x = 0; x < w; ++x) {
                const int32_t c = p.x0 + x;
                if ((src[c >> 3] >> (7 - (c & 7))) & 1)
                    out[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
        break;
    default:
        break;
    }
}

// The pixels' colour space: the picture's profile when it describes them (profileSpace),
// else device RGB; a colour table is indexed over it, in one byte an entry over a grey profile.
QByteArray ColourSpaceOf(const PictureRecord& picture, const QByteArray& profileSpace, bool grey)
{
    const QByteArray base = profileSpace.isEmpty() ? QByteArray("/DeviceRGB") : profileSpace;
    const int n = ColourTableSize(picture.Info->bmiHeader.biBitCount);
    if (n == 0)
        return base;
    QByteArray table;
    table.reserve(n * 3);
    for (int i = 0; i < n; ++i) {
        const RGBQUAD& c = picture.Info->bmiColors[i];
        table += char(c.rgbRed);
        if (grey)
            continue;
        table += char(c.rgbGreen);
        table += char(c.rgbBlue);
    }
    return "[/Indexed " + base + ' ' + QByteArray::number(n - 1) + " <" + table.toHex() + ">]";
}

} // namespace

// One page's share of a JPEG, cut on the block grid: the region from (x, y) of the picture as
// it shows, top row first, of w x h pixels.
struct PdfDocument::JpegPart
{
    std::vector<uint8_t> data;
    int x = 0, y = 0, w = 0, h = 0; // x and y may lie left of or above the picture
    int object = 0;                 // once written
};

PdfDocument::PdfDocument(QIODevice& out, const PdfPageSetup& setup, const QString& title)
    : out_(out), setup_(setup), title_(title)
{
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::Emit(const QByteArray& bytes)
{
    if (writeFailed_ || stopped_)
        return false;
    if (PrintStopRequested()) {
        stopped_ = true;
        return false;
    }
    if (out_.write(bytes) != bytes.size()) {
        writeFailed_ = true;
        return false;
    }
    written_ += bytes.size();
    return true;
}

int PdfDocument::NewObject()
{
    offsets_.push_back(0);
    return int(offsets_.size()) - 1;
}

bool PdfDocument::BeginObject(int number)
{
    offsets_[size_t(number)] = written_;
    return Emit(QByteArray::number(number) + " 0 obj\n");
}

bool PdfDocument::WriteStreamObject(int number, const QByteArray& dictionary,
                                    const QByteArray& data)
{
    return BeginObject(number) &&
           Emit("<< " + dictionary + " /Length " + QByteArray::number(data.size()) +
                " >>\nstream\n") &&
           Emit(data) && Emit("\nendstream\nendobj\n");
}

bool PdfDocument::Check()
{
    if (!error_.isEmpty())
        return false;
    if (!writeFailed_ && !stopped_)
        return true;
    if (stopped_)
        error_ = QCoreApplication::translate("PrintJob", "The print job was interrupted.");
    else
        error_ = QCoreApplication::translate("PrintJob", "The document could not be written: %1")
                     .arg(out_.errorString());
    return false;
}

bool PdfDocument::Begin()
{
    offsets_.assign(kFirstFreeObject, 0);
    begun_ = Emit(QByteArray("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
    content_.clear();
    images_.clear();
    return Check();
}

bool PdfDocument::EndPage()
{
    // Device pixels from the printable area's corner, downwards, as a printer's painter counts
    // them, onto the sheet's points, upwards.
    const double s = kPointsPerInch / setup_.dpi;
    const QByteArray base =
        "q " + PdfNumber(s) + " 0 0 " + PdfNumber(-s) + ' ' +
        PdfNumber(setup_.printableOrigin.x() * s) + ' ' +
        PdfNumber(setup_.paperPoints.height() - setup_.printableOrigin.y() * s) + " cm\n";
    QByteArray packed;
    const QByteArray drawing = base + content_ + "Q\n";
    packed.resize(qsizetype(compressBound(uLong(drawing.size()))));
    uLongf packedSize = uLongf(packed.size());
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(drawing.constData()), uLong(drawing.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        error_ = QCoreApplication::translate("PrintJob", "Not enough memory to print the poster.");
        return false;
    }
    packed.resize(qsizetype(packedSize));
    const int contents = NewObject();
    if (!WriteStreamObject(contents, "/Filter /FlateDecode", packed))
        return Check();

    QByteArray resources = pageHasText_ ? "<< /ProcSet [/PDF /Text /ImageC /ImageI]"
                                        : "<< /ProcSet [/PDF /ImageC /ImageI]";
    if (pageHasText_)
        resources += " /Font << /F1 " + Ref(font_) + " >>";
    if (pageHasVeil_)
        resources += " /ExtGState << /Veil << /Type /ExtGState /ca 0.75 >> >>";
    if (!images_.empty()) {
        resources += " /XObject <<";
        for (int image : images_)
            resources += " /Im" + QByteArray::number(image) + ' ' + Ref(image);
        resources += " >>";
    }
    resources += " >>";
    const int page = NewObject();
    if (!BeginObject(page) ||
        !Emit("<< /Type /Page /Parent " + Ref(kPageTree) + " /MediaBox [0 0 " +
              PdfNumber(setup_.paperPoints.width()) + ' ' + PdfNumber(setup_.paperPoints.height()) +
              "] /Resources " + resources + " /Contents " + Ref(contents) + " >>\nendobj\n"))
        return Check();
    pages_.push_back(page);
    content_.clear();
    images_.clear();
    pageHasText_ = false;
    pageHasVeil_ = false;
    return Check();
}

bool PdfDocument::NewPage()
{
    return Check() && EndPage();
}

bool PdfDocument::Finish()
{
    if (!Check() || !begun_ || !EndPage())
        return false;
    QByteArray kids;
    for (int page : pages_)
        kids += ' ' + Ref(page);
    bool ok = BeginObject(kPageTree) &&
              Emit("<< /Type /Pages /Kids [" + kids + " ] /Count " +
                   QByteArray::number(qsizetype(pages_.size())) + " >>\nendobj\n") &&
              BeginObject(kInfo) &&
              Emit("<< /Title " + TextString(title_) +
                   " /Creator (Velmora) /Producer (Velmora) >>\nendobj\n") &&
              BeginObject(kCatalog) &&
              // A viewer that prints the document must not scale it to its paper: the poster's
              // size is the size of its pages.
              Emit("<< /Type /Catalog /Pages " + Ref(kPageTree) + CatalogVersion(newestProfile_) +
                   " /ViewerPreferences << /PrintScaling /None >> >>\nendobj\n");
    const qint64 xref = written_;
    QByteArray table =
        "xref\n0 " + QByteArray::number(qsizetype(offsets_.size())) + "\n0000000000 65535 f \n";
    for (size_t i = 1; i < offsets_.size(); ++i)
        table += QByteArray::number(offsets_[i]).rightJustified(10, '0') + " 00000 n \n";
    ok = ok && Emit(table) &&
         Emit("trailer\n<< /Size " + QByteArray::number(qsizetype(offsets_.size())) + " /Root " +
              Ref(kCatalog) + " /Info " + Ref(kInfo) + " >>\nstartxref\n" +
              QByteArray::number(xref) + "\n%%EOF\n");
    return ok && Check();
}

QByteArray PdfDocument::ProfileSpace(const ColourProfile& profile)
{
    // Each profile is written once, the first time an image is described in it.
    for (const auto& [bytes, object] : profiles_)
        if (bytes == profile.bytes)
            return "[/ICCBased " + Ref(object) + ']';
    const int object = NewObject();
    if (!WriteStreamObject(object,
                           "/N " + QByteArray::number(profile.Channels()) + " /Alternate " +
                               DeviceSpaceOf(profile),
                           profile.bytes)) {
        Check();
        return {};
    }
    profiles_.emplace_back(profile.bytes, object);
    newestProfile_ = std::max(newestProfile_, profile.major * 10 + profile.minor);
    return "[/ICCBased " + Ref(object) + ']';
}

void PdfDocument::FillRuns(const std::vector<LineRun>& runs)
{
    int colour = -1;
    for (const LineRun& run : runs) {
        const int wanted = run.black ? 0 : 1;
        if (wanted != colour) {
            content_ += wanted ? "1 g\n" : "0 g\n";
            colour = wanted;
        }
        content_ += QByteArray::number(run.rect.x()) + ' ' + QByteArray::number(run.rect.y()) +
                    ' ' + QByteArray::number(run.rect.width()) + ' ' +
                    QByteArray::number(run.rect.height()) + " re f\n";
    }
}

void PdfDocument::FillDots(const std::vector<Dot>& dots, const QRect& clip)
{
    if (dots.empty() || clip.isEmpty())
        return;
    content_ += "q " + QByteArray::number(clip.x()) + ' ' + QByteArray::number(clip.y()) + ' ' +
                QByteArray::number(clip.width()) + ' ' + QByteArray::number(clip.height()) +
                " re W n\n";
    // A circle as four cubic arcs, each control point this share of the radius out.
    constexpr double kArc = 0.5522847498;
    QRgb colour = 0;
    bool coloured = false;
    for (const Dot& dot : dots) {
        if (!coloured || dot.colour != colour) {
            content_ += PdfNumber(qRed(dot.colour) / 255.0) + ' ' +
                        PdfNumber(qGreen(dot.colour) / 255.0) + ' ' +
                        PdfNumber(qBlue(dot.colour) / 255.0) + " rg\n";
            colour = dot.colour;
            coloured = true;
        }
        const double x = dot.centre.x(), y = dot.centre.y(), r = dot.radius, k = kArc * r;
        const auto point = [](double px, double py) { return PdfNumber(px) + ' ' + PdfNumber(py); };
        content_ += point(x + r, y) + " m " + point(x + r, y + k) + ' ' + point(x + k, y + r) +
                    ' ' + point(x, y + r) + " c " + point(x - k, y + r) + ' ' +
                    point(x - r, y + k) + ' ' + point(x - r, y) + " c " + point(x - r, y - k) +
                    ' ' + point(x - k, y - r) + ' ' + point(x, y - r) + " c " +
                    point(x + k, y - r) + ' ' + point(x + r, y - k) + ' ' + point(x + r, y) +
                    " c f\n";
    }
    content_ += "Q\n";
}

void PdfDocument::DrawTexts(const std::vector<TextRun>& texts)
{
    if (texts.empty())
        return;
    if (!font_) {
        font_ = NewObject();
        if (!BeginObject(font_) ||
            !Emit("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding "
                  "/WinAnsiEncoding >>\nendobj\n"))
            return;
    }
    pageHasText_ = true;
    for (const TextRun& t : texts) {
        // The page's drawing counts downwards; the text matrix turns the letters upright again.
        QByteArray string;
        for (const QChar c : t.text) {
            const ushort u = c.unicode();
            const char b = u < 256 ? char(u) : '?';
            if (b == '(' || b == ')' || b == '\\')
                string += '\\';
            string += b;
        }
        content_ += QByteArray(t.grey ? "0.5 g" : "0 g") + " BT /F1 " + QByteArray::number(t.size) +
                    (t.upward ? " Tf 0 -1 -1 0 " : " Tf 1 0 0 -1 ") + QByteArray::number(t.at.x()) +
                    ' ' + QByteArray::number(t.at.y()) + " Tm (" + string + ") Tj ET\n";
    }
}

void PdfDocument::PlaceImage(int object, double left, double top, double width, double height)
{
    // An image fills the unit square with its first row at the top.
    content_ += "q " + PdfNumber(width) + " 0 0 " + PdfNumber(-height) + ' ' + PdfNumber(left) +
                ' ' + PdfNumber(top + height) + " cm /Im" + QByteArray::number(object) + " Do Q\n";
    images_.push_back(object);
}

void PdfDocument::DrawPicture(const PictureRecord& picture, const PosterSource& source,
                              const StretchRects& rects, bool /*halftone*/)
{
    if (!begun_ || !error_.isEmpty())
        return;
    const JpegSource* jpeg = source.jpeg();
    if (jpeg && jpeg == partsOf_ && DrawJpegPart(*jpeg, rects))
        return;
    if (const DrawingSource* drawing = source.drawing();
        drawing && form_ != 0 && formOf_ == drawing->page.get()) {
        DrawDrawingPart(*drawing, rects);
        return;
    }
    if (!picture.Bits || !picture.Info)
        return;
    const BITMAPINFOHEADER& h = picture.Info->bmiHeader;
    const int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return;
    const StretchRects clipped = ClipStretchRects(rects, h.biWidth);
    const Part p = PartOf(clipped, h.biWidth, h.biHeight);
    if (p.empty())
        return;
    const Placement at = PlacementOf(clipped, p);
    const int32_t w = p.x1 - p.x0;
    const int32_t rows = p.y1 - p.y0;
    const int64_t rowBytes = bits == 24 ? int64_t(w) * 3 : (int64_t(w) * bits + 7) / 8;

    // The image is compressed in stripes on every core, then written in order. A colour
    // photo's rows go through PNG's Sub predictor first (each byte less the same colour's byte
    // of the pixel to its left): neighbours differ little, so the rows shrink by about a third
    // and compress in about half the time. The differences are then compressed by runs only,
    // which on a noisy 6000 x 4000 photo gave 0.48 of the raw rows at 86 MB/s a core, against
    // matches' 0.56 at 57 MB/s. Colour table indices gain nothing from either, and keep
    // zlib's matches.
    const bool predicted = bits == 24;
    const size_t lineBytes = size_t(rowBytes) + (predicted ? 1 : 0);
    const auto line = [&picture, &p, predicted, rowBytes](int64_t i, uint8_t* out) {
        if (!predicted) {
            PartRow(picture, p, int(i), out);
            return;
        }
        out[0] = 1; // Sub
        uint8_t* row = out + 1;
        PartRow(picture, p, int(i), row);
        for (int64_t x = rowBytes - 1; x >= 3; --x)
            row[x] = uint8_t(row[x] - row[x - 3]);
    };
    DeflatedRows stream;
    if (!DeflateRows(rows, lineBytes, line, kDeflateLevel,
                     predicted ? DeflateSearch::Runs : DeflateSearch::Matches, stream)) {
        error_ = QCoreApplication::translate("PrintJob", "Not enough memory to print the poster.");
        return;
    }
    const ColourProfile& profile = PictureColourProfile(picture);
    const bool described = ProfileFitsPixels(profile, picture);
    const QByteArray space =
        ColourSpaceOf(picture, described ? ProfileSpace(profile) : QByteArray(),
                      described && profile.colours == ProfileColours::Grey);
    if (!Check())
        return;
    const int image = NewObject();
    bool ok = BeginObject(image) &&
              Emit("<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(w) +
                   " /Height " + QByteArray::number(rows) + " /ColorSpace " + space +
                   " /BitsPerComponent " + QByteArray::number(bits == 24 ? 8 : bits) +
                   " /Interpolate false /Filter /FlateDecode" +
                   (predicted ? " /DecodeParms << /Predictor 11 /Colors 3 /Columns " +
                                    QByteArray::number(w) + " >>"
                              : QByteArray()) +
                   " /Length " + QByteArray::number(qint64(stream.size())) + " >>\nstream\n");
    for (std::vector<uint8_t>& piece : stream.pieces) {
        ok = ok && Emit(QByteArray::fromRawData(reinterpret_cast<const char*>(piece.data()),
                                                qsizetype(piece.size())));
        std::vector<uint8_t>().swap(piece); // written: its memory goes
    }
    ok = ok && Emit("\nendstream\nendobj\n");
    if (!ok) {
        Check();
        return;
    }
    PlaceImage(image, at.left, at.top, w * at.kx, rows * at.ky);
}

bool PdfDocument::ExpectPictures(const PosterSource& source, const std::vector<StretchRects>& rects,
                                 const CutProgress& progress)
{
    parts_.clear();
    partsOf_ = nullptr;
    if (const DrawingSource* drawing = source.drawing())
        return WriteDrawingForm(*drawing);
    if (!source.jpeg())
        return true;
    const JpegSource& jpeg = *source.jpeg();
    const JpegView& view = jpeg.view;
    const JpegGrid grid = view.grid;
    // A decoder that smooths the colour planes reads a colour sample beyond each of a share's
    // edges: the part takes one more sample's worth of blocks there, where the picture has it.
    const int marginX = grid.width / 8 - 1;
    const int marginY = grid.height / 8 - 1;
    const auto down = [](int v, int g) { return v / g * g; };
    const auto up = [](int v, int g) { return (v + g - 1) / g * g; };
    const int left = down(view.x, grid.width);
    const int top = down(view.y, grid.height);
    const int right = up(view.x + view.width, grid.width);
    const int bottom = up(view.y + view.height, grid.height);

    std::vector<JpegRegion> regions;
    std::vector<JpegPart*> parts;
    for (const StretchRects& r : rects) {
        const Part p = PartOf(ClipStretchRects(r, jpeg.width), jpeg.width, jpeg.height);
        const auto key = std::make_tuple(r.srcX, r.srcY, r.srcWidth, r.srcHeight);
        if (p.empty() || parts_.count(key))
            continue;
        // The share in the view's padded picture, top row first.
        const int x0 = view.x + p.x0;
        const int x1 = view.x + p.x1;
        const int y0 = view.y + (jpeg.height - p.y1);
        const int y1 = view.y + (jpeg.height - p.y0);
        JpegRegion region;
        region.x = std::max(left, down(x0 - marginX, grid.width));
        region.y = std::max(top, down(y0 - marginY, grid.height));
        region.w = std::min(right, up(x1 + marginX, grid.width)) - region.x;
        region.h = std::min(bottom, up(y1 + marginY, grid.height)) - region.y;
        auto part = std::make_unique<JpegPart>();
        part->x = region.x - view.x;
        part->y = region.y - view.y;
        part->w = region.w;
        part->h = region.h;
        regions.push_back(region);
        parts.push_back(part.get());
        parts_[key] = std::move(part);
    }
    JpegFacts facts;
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data.constData());
    const auto size = size_t(jpeg.data.size());
    if (!ReadJpegFacts(data, size, facts)) {
        parts_.clear();
        return false;
    }
    std::vector<std::vector<uint8_t>> cut;
    if (!regions.empty())
        switch (CutJpeg(data, size, view, regions, cut, progress)) {
        case JpegCutResult::Cut:
            break;
        case JpegCutResult::Damaged:
            parts_.clear();
            return false;
        case JpegCutResult::NoMemory:
            // Not a reason to draw from the pixels, which need more memory still.
            parts_.clear();
            error_ =
                QCoreApplication::translate("PrintJob", "Not enough memory to print the poster.");
            return true;
        }
    for (size_t i = 0; i < parts.size(); ++i)
        parts[i]->data = std::move(cut[i]);
    partsFacts_ = facts;
    partsOf_ = &jpeg;
    return true;
}

bool PdfDocument::DrawJpegPart(const JpegSource& jpeg, const StretchRects& rects)
{
    const StretchRects clipped = ClipStretchRects(rects, jpeg.width);
    const Part p = PartOf(clipped, jpeg.width, jpeg.height);
    if (p.empty())
        return true; // nothing of the picture on this page
    const auto found =
        parts_.find(std::make_tuple(rects.srcX, rects.srcY, rects.srcWidth, rects.srcHeight));
    if (found == parts_.end())
        return false;
    // A part is written once; a second page with the same share shows the same image object.
    JpegPart* part = found->second.get();
    if (part->object == 0) {
        const QByteArray profileSpace = jpeg.profile.Channels() == partsFacts_.components
                                            ? ProfileSpace(jpeg.profile)
                                            : QByteArray();
        if (!Check())
            return true;
        part->object = NewObject();
        const bool ok = WriteStreamObject(
            part->object,
            "/Type /XObject /Subtype /Image /Width " + QByteArray::number(part->w) + " /Height " +
                QByteArray::number(part->h) + DctColours(partsFacts_, profileSpace) +
                " /BitsPerComponent 8 /Interpolate false /Filter /DCTDecode",
            QByteArray::fromRawData(reinterpret_cast<const char*>(part->data.data()),
                                    qsizetype(part->data.size())));
        std::vector<uint8_t>().swap(part->data); // written: its memory goes
        if (!ok) {
            Check();
            return true;
        }
    }
    const int image = part->object;
    const Placement at = PlacementOf(clipped, p);
    const int top = jpeg.height - p.y1;
    // Only the page's share shows; the blocks around it that the cut on the grid takes along
    // stay outside the clip.
    content_ += "q " + PdfNumber(at.left) + ' ' + PdfNumber(at.top) + ' ' +
                PdfNumber((p.x1 - p.x0) * at.kx) + ' ' + PdfNumber((p.y1 - p.y0) * at.ky) +
                " re W n\n";
    PlaceImage(image, at.left - (p.x0 - part->x) * at.kx, at.top - (top - part->y) * at.ky,
               part->w * at.kx, part->h * at.ky);
    content_ += "Q\n";
    ++pagesFromJpeg_;
    return true;
}

bool PdfDocument::WriteDrawingForm(const DrawingSource& drawing)
{
    if (formOf_ == drawing.page.get() && form_ != 0)
        return true;
    if (!Check())
        return false;
    VectorPage::ObjectSink sink;
    sink.newObject = [this] { return NewObject(); };
    sink.write = [this](int number, const QByteArray& body) {
        return BeginObject(number) && Emit(body) && Emit("\nendobj\n");
    };
    QString error;
    const int form = drawing.page->WriteForm(sink, &error);
    if (form == 0) {
        // A write that failed says so itself; a page that could not be copied is drawn from
        // the pixels instead.
        Check();
        return false;
    }
    form_ = form;
    formOf_ = drawing.page.get();
    return Check();
}

void PdfDocument::DrawDrawingPart(const DrawingSource& drawing, const StretchRects& rects)
{
    const StretchRects clipped = ClipStretchRects(rects, drawing.width);
    const Part p = PartOf(clipped, drawing.width, drawing.height);
    if (p.empty())
        return; // nothing of the picture on this page
    const Placement at = PlacementOf(clipped, p);
    // The picture's pixels onto this page's device pixels, as its share of the pixels would be
    // placed; the page itself goes through the same mapping, clipped to the share.
    const int32_t top = drawing.height - p.y1;
    const QTransform toDevice(at.kx, 0, 0, at.ky, at.left - p.x0 * at.kx, at.top - top * at.ky);
    const QTransform m = PageToPicture(drawing) * toDevice;
    content_ += "q " + PdfNumber(at.left) + ' ' + PdfNumber(at.top) + ' ' +
                PdfNumber((p.x1 - p.x0) * at.kx) + ' ' + PdfNumber((p.y1 - p.y0) * at.ky) +
                " re W n\n";
    content_ += PdfNumber(m.m11()) + ' ' + PdfNumber(m.m12()) + ' ' + PdfNumber(m.m21()) + ' ' +
                PdfNumber(m.m22()) + ' ' + PdfNumber(m.dx()) + ' ' + PdfNumber(m.dy()) + " cm /Im" +
                QByteArray::number(form_) + " Do Q\n";
    if (std::find(images_.begin(), images_.end(), form_) == images_.end())
        images_.push_back(form_);
    ++pagesFromDrawing_;
}

bool PdfDocument::DrawFaint(const PosterSource& source, const StretchRects& rects)
{
    const DrawingSource* drawing = source.drawing();
    if (!begun_ || !error_.isEmpty() || !drawing || form_ == 0 || formOf_ != drawing->page.get())
        return false;
    DrawDrawingPart(*drawing, rects);
    --pagesFromDrawing_; // not a poster page
    // White over it at three quarters' opacity leaves a quarter of every colour's depth, as the
    // lightened copy of a picture's pixels does.
    content_ += "q /Veil gs 1 g " + PdfNumber(rects.destX) + ' ' + PdfNumber(rects.destY) + ' ' +
                PdfNumber(rects.destWidth) + ' ' + PdfNumber(rects.destHeight) + " re f Q\n";
    pageHasVeil_ = true;
    return true;
}

bool SaveDrawingPdf(const DrawingSource& drawing, const QByteArray& fileName,
                    const std::function<bool()>& stopped, QString* error)
{
    // One device pixel a pixel of the rendering, so that the picture fills the page exactly.
    const double pixelsPerPoint = 1 / PointsPerPixel(drawing);
    PdfPageSetup setup;
    setup.paperPoints = QSizeF(drawing.width / pixelsPerPoint, drawing.height / pixelsPerPoint);
    setup.dpi = 72 * pixelsPerPoint;
    StretchRects whole;
    whole.destWidth = whole.srcWidth = drawing.width;
    whole.destHeight = whole.srcHeight = drawing.height;

    ReplacingFile file(fileName);
    if (!file.open()) {
        *error = file.errorString();
        return false;
    }
    const auto source = PosterSource::Drawing(std::make_shared<DrawingSource>(drawing));
    PdfDocument document(file, setup, QStringLiteral("Velmora"));
    bool written = document.Begin() && document.ExpectPictures(source, {whole});
    if (written) {
        document.DrawPicture(PictureRecord(), source, whole, false);
        // A page that could not be copied as a form is not saved as an empty one.
        written = document.PagesFromDrawing() == 1 && document.Finish();
    }
    if (!written) {
        *error = document.ErrorText().isEmpty()
                     ? QCoreApplication::translate("PrintJob", "the page could not be copied")
                     : document.ErrorText();
        file.cancel();
        return false;
    }
    if (!file.commit(stopped)) {
        *error = file.errorString();
        return false;
    }
    return true;
}
