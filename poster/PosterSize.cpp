// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterSize.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "Rounding.h"

namespace {

constexpr double kPercent = 100.0;

QString SizeText(double value)
{
    return QString::number(value, 'f', kSizeDecimals);
}

double ReadConfined(const SizeEdits& edits, SizeSide side)
{
    const double v = edits.value(side);
    if (std::isnan(v))
        return kMinPosterPages;
    return v < kMinPosterPages ? kMinPosterPages : (v > kMaxPosterPages ? kMaxPosterPages : v);
}

SizeSide Other(SizeSide side)
{
    return side == SizeSide::Width ? SizeSide::Height : SizeSide::Width;
}

} // namespace

double DerivedSizeWithoutEdgeStrips(double proportional, int givenGlue, int32_t givenPages,
                                    int derivedGlue)
{
    // The layout spreads the picture over the pages as if it were glue / pages percent smaller
    // on each side: the strip missing on the poster's edge, shared among the pages of that
    // side. The scale across and down agree when the derived size takes the same share off as
    // the given one, on its own count of pages. That count is the ceiling of the very size
    // it corrects; fewer pages take off more, so the counts met from one page upwards never
    // fall, and the first one that gives itself back is the smallest poster that keeps the
    // proportions, whatever size the edit held before.
    const double givenShare = 1.0 - givenGlue / double(std::max(givenPages, 1)) / kPercent;
    int32_t count = 1;
    for (;;) {
        const double derivedShare = 1.0 - derivedGlue / double(count) / kPercent;
        const double size = proportional * derivedShare / givenShare;
        const int32_t next = CeilPages(ConfineSizeValue(size));
        if (next <= count)
            return size;
        count = next;
    }
}

double ConfineSizeValue(double value)
{
    if (std::isnan(value) || value < kMinPosterPages)
        value = kMinPosterPages;
    else if (value > kMaxPosterPages)
        value = kMaxPosterPages;
    // The edit keeps what it shows.
    return SizeText(value).toDouble();
}

UsableArea UsableAreaOf(const SizeInputs& in)
{
    const int g = in.options.GlueEdge ? 1 : 0;
    const int right = ConfineGluePercent(in.rightGluePercent);
    const int bottom = ConfineGluePercent(in.bottomGluePercent);
    UsableArea a;
    a.width = RoundHalfEven(in.pageWidth * (kPercent - right * g) / kPercent);
    a.height = RoundHalfEven(in.pageHeight * (kPercent - bottom * g) / kPercent);
    return a;
}

void SizeEditChanged(SizeSide side, PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    if (g.SizeUpdateGuard)
        return;
    const bool width = side == SizeSide::Width;
    g.WidthEditedLast = width;

    const UsableArea usable = UsableAreaOf(in);
    const double picW = in.pictureWidth;
    const double picH = in.pictureHeight;
    const int rightGlue = ConfineGluePercent(in.rightGluePercent);
    const int bottomGlue = ConfineGluePercent(in.bottomGluePercent);

    double& given = width ? g.PosterWidthPages : g.PosterHeightPages;
    double& derived = width ? g.PosterHeightPages : g.PosterWidthPages;
    int32_t& givenPages = width ? g.PagesAcross : g.PagesDown;
    int32_t& derivedPages = width ? g.PagesDown : g.PagesAcross;
    const int givenGlue = width ? rightGlue : bottomGlue;
    const int derivedGlue = width ? bottomGlue : rightGlue;

    given = ReadConfined(edits, side);
    if (in.options.UseFullPages) {
        int32_t whole = RoundHalfEven(given);
        if (whole < 1)
            whole = 1;
        // Unshielded on purpose: when the text changes, the nested run does the whole
        // computation with the whole number and this run then repeats it.
        edits.setValue(side, whole);
        given = whole;
    }
    givenPages = CeilPages(given);

    // Without a picture or a printable area there are no proportions to keep.
    const bool proportions = picW > 0 && picH > 0 && usable.width > 0 && usable.height > 0;
    if (in.options.KeepAspectRatio && proportions) {
        const double proportional = width ? picH * given / picW * usable.width / usable.height
                                          : picW * given / picH * usable.height / usable.width;
        // The poster's outer edges go without a strip only where there are strips at all.
        const bool edgesWithoutStrips = in.options.NoGlueOnPosterEdge && in.options.GlueEdge;
        const double other =
            edgesWithoutStrips
                ? DerivedSizeWithoutEdgeStrips(proportional, givenGlue, givenPages, derivedGlue)
                : proportional;
        g.SizeUpdateGuard = true;
        edits.setValue(Other(side), other);
        derived = ReadConfined(edits, Other(side));
        g.SizeUpdateGuard = false;
        derivedPages = CeilPages(derived);
    }
}

void Refit(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    SizeEditChanged(g.WidthEditedLast ? SizeSide::Width : SizeSide::Height, g, in, edits);
}

void ResetForNewPicture(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    g.PosterWidthPages = 1.0;
    g.PagesAcross = 1;
    if (!in.options.KeepAspectRatio && !g.WidthEditedLast) {
        const bool guard = g.SizeUpdateGuard;
        g.SizeUpdateGuard = true;
        edits.setValue(SizeSide::Width, g.PosterWidthPages);
        g.SizeUpdateGuard = guard;
    }
}

void FitNewPicture(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    ResetForNewPicture(g, in, edits);
    Refit(g, in, edits);
}

void FinishStartFit(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    g.WidthEditedLast = true;
    Refit(g, in, edits);
}

QSize ZoomSize(double zoom)
{
    return QSize(RoundHalfEven(zoom * kPreviewBoxWidth), RoundHalfEven(zoom * kPreviewBoxHeight));
}

SimulatedSizeEdits::SimulatedSizeEdits(PosterGeometry& g, const SizeInputs& in)
    : g_(g), in_(in), text_{SizeText(g.PosterWidthPages), SizeText(g.PosterHeightPages)}
{
}

double SimulatedSizeEdits::value(SizeSide side) const
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text_[Index(side)].trimmed(), &ok);
    return ok ? v : kMinPosterPages;
}

void SimulatedSizeEdits::setValue(SizeSide side, double value)
{
    setText(side, SizeText(ConfineSizeValue(value)));
}

void SimulatedSizeEdits::type(SizeSide side, const QString& text)
{
    setText(side, text);
}

void SimulatedSizeEdits::leave(SizeSide side)
{
    bool ok = false;
    const double typed = QLocale::c().toDouble(text_[Index(side)].trimmed(), &ok);
    if (!ok || std::isnan(typed) || typed < kMinPosterPages || typed > kMaxPosterPages)
        setValue(side, ok ? typed : kMinPosterPages);
}

void SimulatedSizeEdits::setText(SizeSide side, const QString& text)
{
    if (text_[Index(side)] == text)
        return;
    text_[Index(side)] = text;
    ++runs_[Index(side)];
    SizeEditChanged(side, g_, in_, *this);
}
