// SPDX-License-Identifier: GPL-3.0-or-later
// The poster's size in pages: the handlers of the two size edits, the refit, and the preview
// box size for a zoom factor.
#pragma once

#include <QSize>
#include <QString>

#include <array>
#include <cstdint>

#include "PosterTypes.h"

enum class SizeSide
{
    Width,
    Height
};

// The two size edits as the handlers see them. Writing a value that changes an edit must call
// that edit's change handler before setValue returns, as the spin edit widget does.
class SizeEdits
{
public:
    virtual ~SizeEdits() = default;
    // While the user types this may lie outside the size range; the handlers confine it.
    virtual double value(SizeSide side) const = 0;
    virtual void setValue(SizeSide side, double value) = 0;
};

// Everything the size computation reads besides the edits.
struct SizeInputs
{
    int32_t pageWidth = 0; // printable area, device pixels
    int32_t pageHeight = 0;
    PrintOptions options;
    int rightGluePercent = kDefaultGluePercent; // confined before use
    int bottomGluePercent = kDefaultGluePercent;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
};

// Decimals the size edits show and keep.
constexpr int kSizeDecimals = 8;

// A spin edit value as the edit keeps it: confined to the size range (anything unreadable
// counts as the minimum) and rounded to kSizeDecimals.
double ConfineSizeValue(double value);

// The derived size when the poster's outer edges carry no glue strip, so that the printed
// picture keeps its proportions: the proportional size (of the given size over the usable
// page) corrected for the strips the layout leaves out on both sides, with the derived side's
// page count the smallest that the result itself occupies.
double DerivedSizeWithoutEdgeStrips(double proportional, int givenGlue, int32_t givenPages,
                                    int derivedGlue);

// The printable page less the glue strips where they count, in device pixels.
struct UsableArea
{
    int32_t width = 0;
    int32_t height = 0;
};
UsableArea UsableAreaOf(const SizeInputs& in);

// BreitEdChange (Width) and HochEdChange (Height).
void SizeEditChanged(SizeSide side, PosterGeometry& g, const SizeInputs& in, SizeEdits& edits);
inline void BreitEdChange(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    SizeEditChanged(SizeSide::Width, g, in, edits);
}
inline void HochEdChange(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits)
{
    SizeEditChanged(SizeSide::Height, g, in, edits);
}

// by_anpassen: repeats the computation from the size the user edited last.
void Refit(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits);

// What every change of the picture's dimensions does before its refit: the poster starts one
// page wide. When the refit will not rewrite the width edit (no aspect ratio, height edited
// last), the edit is set to 1 as well, so that it shows the width in force.
void ResetForNewPicture(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits);

// A new picture replaces the current one: the reset above, then the one refit every
// replacement ends with. in holds the new picture's size.
void FitNewPicture(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits);

// The end of start-up: the options update has refitted height-led; from here on the width
// leads until the user edits the height, and the poster is refitted once more.
void FinishStartFit(PosterGeometry& g, const SizeInputs& in, SizeEdits& edits);

// The preview box for a zoom factor.
constexpr int kPreviewBoxWidth = 341; // at zoom 1
constexpr int kPreviewBoxHeight = 277;
QSize ZoomSize(double zoom);

// A pair of size edits without widgets, behaving like the spin edits: values written are
// confined and rounded, a write that changes the shown text runs the handler for that side at
// once, typed text is read as typed until the edit loses the focus.
class SimulatedSizeEdits : public SizeEdits
{
public:
    // The handlers run against g and in, which must outlive this object.
    SimulatedSizeEdits(PosterGeometry& g, const SizeInputs& in);

    double value(SizeSide side) const override;
    void setValue(SizeSide side, double value) override;

    // The user types text (in C-locale notation) into an edit, which runs its handler.
    void type(SizeSide side, const QString& text);
    // The edit loses the focus: an out-of-range or unreadable text is replaced.
    void leave(SizeSide side);

    QString text(SizeSide side) const { return text_[Index(side)]; }
    // How often each side's handler was started, nested runs included.
    int handlerRuns(SizeSide side) const { return runs_[Index(side)]; }

private:
    static int Index(SizeSide side) { return side == SizeSide::Width ? 0 : 1; }
    void setText(SizeSide side, const QString& text);

    PosterGeometry& g_;
    const SizeInputs& in_;
    std::array<QString, 2> text_;
    std::array<int, 2> runs_{0, 0};
};
