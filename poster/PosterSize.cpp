#include "PosterSize.h"

#include <QLocale>

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

    const double effective =
        in.options.NoGlueOnPosterEdge ? given + givenGlue / double(givenPages) / kPercent : given;

    // Without a picture or a printable area there are no proportions to keep.
    const bool proportions = picW > 0 && picH > 0 && usable.width > 0 && usable.height > 0;
    if (in.options.KeepAspectRatio && proportions) {
        double other = width ? picH * effective / picW * usable.width / usable.height
                             : picW * effective / picH * usable.height / usable.width;
        if (in.options.NoGlueOnPosterEdge) {
            // The count from before this run: the strip it removes is the one the poster had.
            const int32_t before = derivedPages < 1 ? 1 : derivedPages;
            other = other - derivedGlue / double(before) / kPercent;
        }
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
