// SPDX-License-Identifier: GPL-3.0-or-later
#include "FinishedSize.h"

#include "PosterSize.h"
#include "PrintJob.h"
#include "Rounding.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Where the picture lies along one axis of the glued poster, in device pixels from the
// poster's first page edge.
struct Span
{
    double from = std::numeric_limits<double>::max();
    double to = std::numeric_limits<double>::lowest();
    double scale = 0; // device pixels per picture pixel, of the first page that shows any
    bool empty() const { return to <= from; }
};

// One page's share along an axis: the drawn interval [a, b) in page pixels, clipped to what the
// assembled poster shows of that page. The page is glued at `offset`; of all but the last page
// the glue strip beyond `usable` lies under the next page.
void Add(Span& span, double a, double b, double scale, double offset, double visible)
{
    a = std::max(a, 0.0);
    b = std::min(b, visible);
    if (b <= a)
        return;
    span.from = std::min(span.from, offset + a);
    span.to = std::max(span.to, offset + b);
    if (span.scale == 0)
        span.scale = scale;
}

QString Fixed(double value, int decimals)
{
    return QLocale::c().toString(value, 'f', decimals);
}

} // namespace

int32_t MmToPixels(double mm, int32_t dpi)
{
    return RoundHalfEven(mm * dpi / kMmPerInch);
}

DrawnShare DrawnShareOf(const StretchRects& r, int32_t pictureWidth, int32_t pictureHeight)
{
    DrawnShare d;
    if (r.srcWidth <= 0 || r.srcHeight <= 0 || r.destWidth <= 0 || r.destHeight <= 0)
        return d;
    const SourcePart p = SourcePartOf(r, pictureWidth, pictureHeight);
    d.kx = double(r.destWidth) / r.srcWidth;
    d.ky = double(r.destHeight) / r.srcHeight;
    d.left = r.destX + (double(p.x0) - r.srcX) * d.kx;
    d.right = d.left + (p.x1 - p.x0) * d.kx;
    // Rows count from the picture's bottom, the page's from its top.
    d.top = r.destY + (double(r.srcY) + r.srcHeight - p.y1) * d.ky;
    d.bottom = d.top + (p.y1 - p.y0) * d.ky;
    d.emptyX = p.x1 <= p.x0;
    d.emptyY = p.y1 <= p.y0;
    return d;
}

FinishedSize FinishedPosterSize(const PageRenderInputs& in, int32_t pageWidth, int32_t pageHeight,
                                int32_t dpiX, int32_t dpiY)
{
    FinishedSize size;
    const PosterGeometry& g = in.geometry;
    if (in.pictureWidth <= 0 || in.pictureHeight <= 0 || pageWidth <= 0 || pageHeight <= 0 ||
        dpiX <= 0 || dpiY <= 0 || g.PagesAcross <= 0 || g.PagesDown <= 0)
        return size;
    // The print job's picture area of a page: the printable area less the glue strips.
    const QSize usable = PictureAreaOf(QSize(pageWidth, pageHeight), in.options, in.gx, in.gy);
    const int32_t usableW = usable.width();
    const int32_t usableH = usable.height();

    Span x, y;
    // The horizontal layout depends on the column alone, the vertical on the row alone.
    for (int column = 0; column < g.PagesAcross; ++column) {
        const auto r = PosterPageRects(in, column, 0, 0, 0, usableW, usableH, true);
        if (!r)
            continue;
        const DrawnShare d = DrawnShareOf(*r, in.pictureWidth, in.pictureHeight);
        if (d.emptyX)
            continue;
        const bool last = column == g.PagesAcross - 1;
        Add(x, d.left, d.right, d.kx, double(column) * usableW, last ? pageWidth : usableW);
    }
    for (int row = 0; row < g.PagesDown; ++row) {
        const auto r = PosterPageRects(in, 0, row, 0, 0, usableW, usableH, true);
        if (!r)
            continue;
        const DrawnShare d = DrawnShareOf(*r, in.pictureWidth, in.pictureHeight);
        if (d.emptyY)
            continue;
        const bool last = row == g.PagesDown - 1;
        Add(y, d.top, d.bottom, d.ky, double(row) * usableH, last ? pageHeight : usableH);
    }
    if (x.empty() || y.empty())
        return size;
    size.valid = true;
    size.smooth = in.smooth;
    size.dots = in.dots.valid();
    size.widthPixels = x.to - x.from;
    size.heightPixels = y.to - y.from;
    size.left = x.from;
    size.top = y.from;
    size.widthInches = size.widthPixels / dpiX;
    size.heightInches = size.heightPixels / dpiY;
    size.widthCm = size.widthInches * kCmPerInch;
    size.heightCm = size.heightInches * kCmPerInch;
    size.ppiX = dpiX / x.scale;
    size.ppiY = dpiY / y.scale;
    return size;
}

double PagesForFinishedSize(bool width, double pixels, const PageRenderInputs& in,
                            int32_t pageWidth, int32_t pageHeight, int32_t dpiX, int32_t dpiY)
{
    const double current = width ? in.geometry.PosterWidthPages : in.geometry.PosterHeightPages;
    // Nothing to size, or no size asked for: the pages stay as they are.
    if (in.pictureWidth <= 0 || in.pictureHeight <= 0 || pageWidth <= 0 || pageHeight <= 0 ||
        dpiX <= 0 || dpiY <= 0 || !std::isfinite(pixels) || pixels <= 0)
        return current;
    // One side's extent depends on that side's size in pages alone. Over more pages than the
    // picture has pixels a page covers none, and the poster is as good as too large.
    const auto extent = [&](double pages) {
        PageRenderInputs at = in;
        pages = ConfineSizeValue(pages);
        if (in.options.UseFullPages)
            pages = std::max(1.0, double(RoundHalfEven(pages)));
        (width ? at.geometry.PosterWidthPages : at.geometry.PosterHeightPages) = pages;
        (width ? at.geometry.PagesAcross : at.geometry.PagesDown) = CeilPages(pages);
        const FinishedSize s = FinishedPosterSize(at, pageWidth, pageHeight, dpiX, dpiY);
        return s.valid ? (width ? s.widthPixels : s.heightPixels)
                       : std::numeric_limits<double>::infinity();
    };
    const auto best = [&](double pages) {
        pages = ConfineSizeValue(pages);
        return in.options.UseFullPages ? std::max(1.0, double(RoundHalfEven(pages))) : pages;
    };
    // The extent grows with the pages, in steps; find where it first reaches the size asked for,
    // then take that step or the one below, whichever is nearer.
    double lo = kMinPosterPages;
    double hi = kMaxPosterPages;
    if (extent(hi) <= pixels)
        return best(hi);
    if (extent(lo) >= pixels)
        return best(lo);
    for (int i = 0; i < 60 && hi - lo > 1e-9; ++i) {
        const double mid = (lo + hi) / 2;
        (extent(mid) >= pixels ? hi : lo) = mid;
    }
    // The edits keep kSizeDecimals: the nearest values they can hold on either side.
    const double unit = std::pow(10.0, kSizeDecimals);
    const double above = ConfineSizeValue(std::ceil(hi * unit) / unit);
    const double below = ConfineSizeValue(std::floor(lo * unit) / unit);
    return best(std::abs(extent(above) - pixels) <= std::abs(pixels - extent(below)) ? above
                                                                                     : below);
}

QString SizeText(const FinishedSize& s)
{
    return QCoreApplication::translate("FinishedSize", "%1 x %2 cm (%3 x %4 in)")
        .arg(Fixed(s.widthCm, 1), Fixed(s.heightCm, 1), Fixed(s.widthInches, 2),
             Fixed(s.heightInches, 2));
}

QString ResolutionText(const FinishedSize& s)
{
    if (s.vectors && s.lowestImagePpi > 0)
        return QCoreApplication::translate("FinishedSize",
                                           "vectors, sharp at any size; its images from %1 ppi")
            .arg(s.lowestImagePpi < 1 ? QCoreApplication::translate("FinishedSize", "under 1")
                                      : QString::number(std::lround(s.lowestImagePpi)));
    if (s.vectors)
        return QCoreApplication::translate("FinishedSize", "vectors, sharp at any size");
    // A picture of a few pixels spread over a poster has less than one to the inch, which
    // rounded would read as none at all.
    const auto number = [](double ppi) {
        return ppi < 1 ? QCoreApplication::translate("FinishedSize", "under 1")
                       : QString::number(std::lround(ppi));
    };
    const QString x = number(s.ppiX), y = number(s.ppiY);
    return x == y ? QStringLiteral("%1 ppi").arg(x) : QStringLiteral("%1 x %2 ppi").arg(x, y);
}

DotGrid DotGridOnPaper(const PageRenderInputs& in, double pitchMm, bool colour, int32_t pageWidth,
                       int32_t pageHeight, int32_t dpiX, int32_t dpiY)
{
    const FinishedSize s = FinishedPosterSize(in, pageWidth, pageHeight, dpiX, dpiY);
    if (!s.valid)
        return {};
    return DotGridFor(pitchMm, s.widthCm * 10, s.heightCm * 10, in.pictureWidth, in.pictureHeight,
                      colour);
}

QString CoarsenessText(const FinishedSize& s)
{
    if (s.vectors && !(s.lowestImagePpi > 0))
        return {};
    const double least = s.vectors ? s.lowestImagePpi : std::min(s.ppiX, s.ppiY);
    if (least >= kCoarsePpi)
        return {};
    // A drawing's own images are printed as the drawing has them.
    if (s.vectors)
        return least < kVeryCoarsePpi
                   ? QCoreApplication::translate("FinishedSize", "the print will look very coarse")
                   : QCoreApplication::translate("FinishedSize", "the print will look coarse");
    if (s.dots)
        return QCoreApplication::translate("FinishedSize", "printed as a dot screen");
    if (s.smooth)
        return QCoreApplication::translate("FinishedSize", "printed smooth");
    return least < kVeryCoarsePpi
               ? QCoreApplication::translate(
                     "FinishedSize", "the print will look very coarse: try Smooth enlargement")
               : QCoreApplication::translate("FinishedSize",
                                             "the print will look coarse: try Smooth enlargement");
}

QString FinishedSizeText(const FinishedSize& s, const QString& separator)
{
    if (!s.valid)
        return {};
    const QString coarse = CoarsenessText(s);
    return SizeText(s) + separator + ResolutionText(s) +
           (coarse.isEmpty() ? QString() : QStringLiteral(": ") + coarse);
}
