// SPDX-License-Identifier: GPL-3.0-or-later
// The poster document as a PDF file: each page's share of the picture as an image of exactly
// the picture's pixels (a paletted picture as an indexed image with its own colour table, 24 bits
// losslessly compressed; a JPEG not edited since it was read as the file's own compressed data,
// cut to the page on its block grid), drawn unsmoothed, and the help lines as filled rectangles,
// everything placed in the printer's device pixels.
//
// The file is written as it is made: each picture when it is drawn, each page when it ends, so
// the memory it needs is about one page's share of the picture. Nothing in it is transparent, so
// no spooler or printer has to flatten a page into a raster of its own resolution.
#pragma once

#include "ColourProfile.h"
#include "JpegCut.h"
#include "PageCanvas.h"

#include <QByteArray>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

class QIODevice;

// The drawing as it shows (its cut, turns, mirror and flip) as a one-page PDF file of the size the
// shown part has on the page's paper, still vectors, written to the file `fileName` (its bytes)
// in place of what was there only once it is whole. False with a one-line reason.
struct DrawingSource;
bool SaveDrawingPdf(const DrawingSource& drawing, const QByteArray& fileName,
                    const std::function<bool()>& stopped, QString* error);

struct PdfPageSetup
{
    QSizeF paperPoints;      // the whole sheet, 1/72 inch
    double dpi = 1200;       // device pixels per inch
    QPointF printableOrigin; // the printable area's top-left corner on the sheet, device pixels
};

class PdfDocument final : public PageCanvas
{
public:
    PdfDocument(QIODevice& out, const PdfPageSetup& setup, const QString& title);
    ~PdfDocument() override;
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // The first page. False with ErrorText() when the document can't be made.
    bool Begin();
    // Ends the page drawn so far and starts the next.
    bool NewPage();
    // Ends the last page and writes the rest of the file. False when any write failed.
    bool Finish();
    QString ErrorText() const { return error_; }

    void DrawPicture(const PictureRecord& picture, const PosterSource& source,
                     const StretchRects& rects, bool halftone) override;
    void FillRuns(const std::vector<LineRun>& runs) override;
    void FillDots(const std::vector<Dot>& dots, const QRect& clip) override;
    void DrawTexts(const std::vector<TextRun>& texts) override;
    bool HalftonesPictures() const override { return false; }
    bool ExpectPictures(const PosterSource& source, const std::vector<StretchRects>& rects,
                        const CutProgress& progress = {}) override;

    // Pages whose picture came from the compressed data, for tests.
    int PagesFromJpeg() const { return pagesFromJpeg_; }
    // Pages that drew the drawing's page, for tests.
    int PagesFromDrawing() const { return pagesFromDrawing_; }

private:
    struct JpegPart;
    int NewObject();
    bool Emit(const QByteArray& bytes);
    bool BeginObject(int number);
    bool WriteStreamObject(int number, const QByteArray& dictionary, const QByteArray& data);
    bool EndPage();
    bool Check();
    void PlaceImage(int object, double left, double top, double width, double height);
    bool DrawJpegPart(const JpegSource& jpeg, const StretchRects& rects);
    // The drawing's page, written once as a form, through the share's clip.
    bool WriteDrawingForm(const DrawingSource& drawing);
    void DrawDrawingPart(const DrawingSource& drawing, const StretchRects& rects);
    bool DrawFaint(const PosterSource& source, const StretchRects& rects) override;
    // The colour space of images described in the profile, its stream written the first time;
    // empty when that write failed.
    QByteArray ProfileSpace(const ColourProfile& profile);

    QIODevice& out_;
    PdfPageSetup setup_;
    QString title_;
    bool begun_ = false;
    qint64 written_ = 0;
    std::vector<qint64> offsets_; // by object number; 0: not written yet
    std::vector<int> pages_;      // the page objects, in order
    QByteArray content_;          // the current page's drawing
    std::vector<int> images_;     // the current page's image objects
    int font_ = 0;                // Helvetica's font object, once a page has text
    bool pageHasText_ = false;
    bool pageHasVeil_ = false; // a white fill at three quarters' opacity
    bool writeFailed_ = false;
    bool stopped_ = false;
    QString error_;
    // The compressed parts cut for the pages, by their source rectangle.
    std::map<std::tuple<int32_t, int32_t, int32_t, int32_t>, std::unique_ptr<JpegPart>> parts_;
    const JpegSource* partsOf_ = nullptr;
    JpegFacts partsFacts_;
    std::vector<std::pair<QByteArray, int>> profiles_; // the profiles written, with their objects
    int newestProfile_ = 0; // the newest profile version written, as 10 * major + minor
    int pagesFromJpeg_ = 0;
    const VectorPage* formOf_ = nullptr; // the page the form below shows
    int form_ = 0;
    int pagesFromDrawing_ = 0;
};
