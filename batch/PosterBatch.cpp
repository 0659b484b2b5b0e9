// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosterBatch.h"

#include "ColourProfile.h"
#include "CupsJob.h"
#include "CurrentPrinter.h"
#include "DibFileFormats.h"
#include "DrawingSource.h"
#include "FileName.h"
#include "FinishedSize.h"
#include "GrafikRW.h"
#include "HeldPicture.h"
#include "OptionRules.h"
#include "PaperFormat.h"
#include "PdfDocument.h"
#include "PictureFacts.h"
#include "PictureOps.h"
#include "PictureOrientation.h"
#include "PictureRead.h"
#include "PrintJob.h"
#include "TestPage.h"
#include "TwainIO2.h"
#include "VectorPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>

namespace {

constexpr double kMillimetresPerPoint = 25.4 / 72.0;

constexpr int kFailed = 1;
constexpr int kBadRequest = 2; // as for a bad command line: the request itself can't be met

// The increment edit's default step; only the size edits' step depends on it, not a size.
constexpr double kDefaultIncrement = 0.1;

// A run stopped by a signal ends with the one line main() writes, not the step's failure.
int Fail(QTextStream& err, const QString& message, int status = kFailed)
{
    if (!PrintStopRequested())
        err << "velmora-poster: " << message << Qt::endl;
    return status;
}

// The steps that can't be cut in the middle (a decoder, an edit) are followed by a look at the
// stop request.
bool Stopped()
{
    return PrintStopRequested();
}

// The save's last look at the stop, just before its file takes the name. For the tests of a
// stop at that point, VELMORA_POSTER_PAUSE_BEFORE_RENAME names a file that is made there, and
// the save then waits (a minute at most) for a signal.
bool SaveStopped()
{
    static const QByteArray marker = qgetenv("VELMORA_POSTER_PAUSE_BEFORE_RENAME");
    if (!marker.isEmpty() && !PrintStopRequested()) {
        QFile made(QFile::decodeName(marker));
        made.open(QIODevice::WriteOnly);
        made.close();
        for (int waited = 0; waited < 6000 && !PrintStopRequested(); ++waited)
            ::usleep(10000);
    }
    return PrintStopRequested();
}

// The captions of the option check boxes, for the report of the options in force.
// The captions as the window shows them, in its language.
const std::pair<bool PrintOptions::*, const char*> kOptionCaptions[] = {
    {&PrintOptions::CutHelpLines, QT_TRANSLATE_NOOP("MainForm", "Cut help lines")},
    {&PrintOptions::GlueLines, QT_TRANSLATE_NOOP("MainForm", "Clue lines")},
    {&PrintOptions::NoLinesOnPosterEdge,
     QT_TRANSLATE_NOOP("MainForm", "No lines on the poster edge")},
    {&PrintOptions::CenterPicture, QT_TRANSLATE_NOOP("MainForm", "Center")},
    {&PrintOptions::UseFullPages, QT_TRANSLATE_NOOP("MainForm", "Use full pages")},
    {&PrintOptions::KeepAspectRatio, QT_TRANSLATE_NOOP("MainForm", "Aspect ratio")},
    {&PrintOptions::GlueEdge, QT_TRANSLATE_NOOP("MainForm", "Edge for glue")},
    {&PrintOptions::PrintOnGlueEdge, QT_TRANSLATE_NOOP("MainForm", "Print on the edge for glue")},
    {&PrintOptions::NoGlueOnPosterEdge,
     QT_TRANSLATE_NOOP("MainForm", "No edge for glue on the poster edge")},
};

// The picture of the file; null Bits and the library's reason, with the file's name, when it
// can't be read (the window shows only its fixed "Couldn't load file!").
// A colour profile that was left out is named in profileNote, when given.
PictureRecord ReadPicture(const QString& path, QString& error, std::string* profileNote = nullptr)
{
    const PictureRead read = ReadPictureFile(FileNameBytes(path).constData());
    if (!read.picture.Bits)
        error = FileNameText(path) + QStringLiteral(": ") +
                QString::fromStdString(ReadFailureText(read));
    else if (profileNote)
        *profileNote = read.profileNote;
    return read.picture;
}

// One line on stderr, when printing, for the fonts a drawing leaves to the printer.
void ReportDrawing(QTextStream& err, const QString& path, const DrawingSource& drawing,
                   bool printing)
{
    const QStringList fonts = drawing.page->nonEmbeddedFonts();
    if (printing && !fonts.isEmpty())
        err << "velmora-poster: "
            << QCoreApplication::translate(
                   "PosterBatch", "%1: fonts not embedded, which the printer will substitute: %2")
                   .arg(FileNameText(path), fonts.join(QStringLiteral(", ")))
            << Qt::endl;
}

// One line on stderr for a profile left out; the picture is printed all the same.
void ReportProfileLeftOut(QTextStream& err, const QString& path, const std::string& note)
{
    if (!note.empty())
        err << "velmora-poster: "
            << QCoreApplication::translate("PosterBatch", "%1: colour profile left out: %2")
                   .arg(FileNameText(path), QString::fromStdString(note))
            << Qt::endl;
}

// The scanner's own name for a mode typed in any case; the text as given when the device
// lists no modes, and empty with an error when it lists others.
QString DeviceMode(const ScannerCapabilities& caps, const QString& wanted, QString& error)
{
    for (const QString& mode : caps.modes)
        if (mode.compare(wanted, Qt::CaseInsensitive) == 0)
            return mode;
    if (caps.modes.isEmpty())
        return wanted;
    error = QCoreApplication::translate("PosterBatch", "the scanner has no mode \"%1\" (it has %2)")
                .arg(wanted, caps.modes.join(QStringLiteral(", ")));
    return {};
}

QString Number(double value)
{
    return QLocale::c().toString(value, 'g', 8);
}

// Whether the device, in the mode to be scanned in, offers the depth and the resolution asked
// for; a device would otherwise take the nearest it has without a word.
bool DeviceOffers(const ScannerCapabilities& caps, const ScanRequest& scan, QString& error)
{
    if (scan.depth > 0 && !caps.depths.isEmpty() && !caps.depths.contains(scan.depth)) {
        QStringList depths;
        for (int depth : caps.depths)
            depths << QString::number(depth);
        error = QCoreApplication::translate("PosterBatch",
                                            "the scanner has no depth of %1 bits (it has %2)")
                    .arg(scan.depth)
                    .arg(depths.join(QStringLiteral(", ")));
        return false;
    }
    if (scan.resolution <= 0 || !caps.hasResolution)
        return true;
    const auto same = [](double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(1.0, b); };
    if (!caps.resolutions.isEmpty()) {
        QStringList offered;
        for (double r : caps.resolutions) {
            if (same(scan.resolution, r))
                return true;
            offered << Number(r);
        }
        error = QCoreApplication::translate(
                    "PosterBatch", "the scanner has no resolution of %1 dpi (it has %2 dpi)")
                    .arg(Number(scan.resolution), offered.join(QStringLiteral(", ")));
        return false;
    }
    if (scan.resolution < caps.resolutionMin - 1e-9 ||
        scan.resolution > caps.resolutionMax + 1e-9) {
        error = QCoreApplication::translate(
                    "PosterBatch", "the scanner has no resolution of %1 dpi (it has %2 to %3 dpi)")
                    .arg(Number(scan.resolution), Number(caps.resolutionMin),
                         Number(caps.resolutionMax));
        return false;
    }
    const double step = caps.resolutionStep;
    const double steps = step > 0 ? (scan.resolution - caps.resolutionMin) / step : 0;
    if (step > 0 && std::abs(steps - std::round(steps)) > 1e-6) {
        error =
            QCoreApplication::translate(
                "PosterBatch", "the scanner has no resolution of %1 dpi (it has %2 to %3 dpi in "
                               "steps of %4)")
                .arg(Number(scan.resolution), Number(caps.resolutionMin),
                     Number(caps.resolutionMax), Number(step));
        return false;
    }
    return true;
}

PictureRecord ScanPicture(const PosterRequest& r, QString& error)
{
    if (r.scanTimeout > 0)
        SetScannerTimeout(std::chrono::seconds(r.scanTimeout));
    ScanRequest scan;
    scan.device = r.scanDevice;
    if (scan.device.isEmpty()) {
        const QList<ScannerDevice> devices = ListScanners(&error);
        if (devices.isEmpty())
            return {};
        scan.device = devices.front().name;
    }
    if (!r.scanMode.isEmpty() || r.scanDepth > 0 || r.scanResolution > 0) {
        ScannerCapabilities caps;
        if (!QueryScanner(scan.device, &caps, &error))
            return {};
        if (!r.scanMode.isEmpty()) {
            scan.mode = DeviceMode(caps, r.scanMode, error);
            if (scan.mode.isEmpty())
                return {};
            // What a device offers depends on its mode.
            if (!QueryScanner(scan, &caps, &error))
                return {};
        }
        scan.depth = r.scanDepth;
        scan.resolution = r.scanResolution;
        if (!DeviceOffers(caps, scan, error))
            return {};
    }
    PictureRecord picture = ScanToPicture(scan, &error);
    if (!picture.Bits && !error.contains(scan.device))
        error = scan.device + QStringLiteral(": ") + error;
    return picture;
}

QString CropText(const PictureEdit& e)
{
    return QStringLiteral("%1,%2,%3,%4").arg(e.left).arg(e.top).arg(e.right).arg(e.bottom);
}

// True when every edit can be made on a JPEG's blocks without loss.
bool AllLossless(const std::vector<EditStep>& edits)
{
    return std::none_of(edits.begin(), edits.end(),
                        [](const EditStep& step) { return step.brightnessContrast; });
}

// Makes the edits in their order on the held picture, when it has pixels, and on the source;
// a pixel edit leaves the pixels alone as the source. The exit status of the first that fails,
// with its error; 0 when all were made.
int ApplyEdits(const std::vector<EditStep>& edits, HeldPicture& held, PosterSource& source,
               QString& error)
{
    for (const EditStep& step : edits) {
        if (Stopped())
            return kFailed;
        PictureRecord& picture = held.get();
        const bool pixels = picture.Bits != nullptr;
        if (!pixels && source.IsPixels()) {
            error = QCoreApplication::translate("PosterBatch",
                                                "Error: Couldn't create picture (low memory?)!");
            return kFailed;
        }
        if (step.brightnessContrast) {
            source = PosterSource(); // the colours are no longer the file's
            ApplyBrightnessContrast(picture, step.brightness, step.contrast);
            continue;
        }
        const PictureEdit& e = step.edit;
        const int32_t width = pixels ? DIBWidth(picture) : source.width();
        const int32_t height = pixels ? DIBHeight(picture) : source.height();
        if (e.kind == PictureEdit::Kind::Cut && (e.right > width || e.bottom > height)) {
            error = QCoreApplication::translate("PosterBatch",
                                                "--crop %1: the picture is %2 x %3 pixels")
                        .arg(CropText(e))
                        .arg(width)
                        .arg(height);
            return kBadRequest;
        }
        source = source.Edited(e);
        if (!pixels)
            continue;
        const PictureRecord made = EditedPicture(picture, e);
        if (!made.Bits) {
            error = QCoreApplication::translate("PosterBatch",
                                                "Error: Couldn't create picture (low memory?)!");
            return kFailed;
        }
        held.reset(made);
    }
    return 0;
}

// The drawing's pixels at the scale (times its rendering's resolution) that `scaleOf` gives for
// the edited page: the cuts and turns of the edits made on the page, then the brightness and
// contrast steps on the rendering, which is the same as making them in their order, as those
// act on each pixel alone.
PictureRecord DrawingPixels(const std::shared_ptr<const DrawingSource>& drawing,
                            const std::vector<EditStep>& edits,
                            const std::function<double(const DrawingSource&)>& scaleOf,
                            QString& error)
{
    PosterSource view = PosterSource::Drawing(drawing);
    for (const EditStep& step : edits)
        if (!step.brightnessContrast)
            view = view.Edited(step.edit);
    if (!view.drawing()) {
        error = QCoreApplication::translate("PosterBatch",
                                            "Error: Couldn't create picture (low memory?)!");
        return PictureRecord();
    }
    PictureRecord picture = RenderShownDrawing(*view.drawing(), scaleOf(*view.drawing()), &error);
    if (picture.Bits)
        for (const EditStep& step : edits)
            if (step.brightnessContrast)
                ApplyBrightnessContrast(picture, step.brightness, step.contrast);
    return picture;
}

// The save type's name as the save dialog lists it.
QString SaveTypeDescription(int32_t code)
{
    if (code == kSaveAsPdf)
        return QStringLiteral("PDF");
    const QStringList parts = QString::fromLatin1(GetDIBSaveFilter()).split(QLatin1Char('|'));
    return parts.value(2 * (code - 3));
}

// The printer the request names, set up with its paper; null and an error text when that is
// not possible.
std::unique_ptr<CurrentPrinter> PrinterFor(const PosterRequest& r, QString& error)
{
    std::unique_ptr<CurrentPrinter> printer;
    if (!r.outputFile.isEmpty()) {
        printer = std::make_unique<CurrentPrinter>(CurrentPrinter::Start::PdfFile);
        printer->printer().setOutputFileName(AbsoluteFileName(r.outputFile));
    } else if (!r.printerName.isEmpty()) {
        // The scheduler is asked first, with a timeout, for a queue it does not have and for
        // why it could not be asked; Qt's own look-up would wait as long as it hangs.
        const CupsLookup queue = LookUpCupsQueue(r.printerName);
        if (!queue.error.isEmpty()) {
            error = queue.error;
            return nullptr;
        }
        if (!queue.found || QPrinterInfo::printerInfo(r.printerName).isNull()) {
            error = QCoreApplication::translate("PosterBatch", "no printer named \"%1\"")
                        .arg(r.printerName);
            return nullptr;
        }
        // The scheduler has just answered: it is not asked again for the default.
        printer = std::make_unique<CurrentPrinter>(CurrentPrinter::Start::SystemDefault,
                                                   std::chrono::milliseconds(0));
        printer->printer().setPrinterName(r.printerName);
        if (printer->isPdfFile() || printer->printer().printerName() != r.printerName) {
            error = QCoreApplication::translate("PosterBatch", "printer \"%1\" cannot be used")
                        .arg(r.printerName);
            return nullptr;
        }
    } else {
        // Without a scheduler the window's PDF file is used; one that does not answer within
        // the CUPS timeout is an error here, where the window would go on with the file.
        printer =
            std::make_unique<CurrentPrinter>(CurrentPrinter::Start::SystemDefault, CupsTimeout());
        if (!printer->passedOver().isEmpty()) {
            error = printer->passedOver();
            return nullptr;
        }
    }
    if (Stopped())
        return nullptr;
    if (!printer->isUsable()) {
        error = QCoreApplication::translate("PosterBatch", "no printer available");
        return nullptr;
    }
    QPrinter& p = printer->printer();
    if (r.resolution > 0) {
        // A queue prints at its own resolution.
        if (!printer->isPdfFile()) {
            error =
                QCoreApplication::translate(
                    "PosterBatch", "--resolution is for a PDF file; printer \"%1\" keeps its own")
                    .arg(p.printerName());
            return nullptr;
        }
        p.setResolution(r.resolution);
    }
    if (r.paper && !p.setPageSize(QPageSize(*r.paper))) {
        error = QCoreApplication::translate("PosterBatch", "the printer does not take %1 paper")
                    .arg(QPageSize::name(*r.paper));
        return nullptr;
    }
    if (r.orientation && !p.setPageOrientation(*r.orientation)) {
        error = QCoreApplication::translate("PosterBatch", "the printer cannot turn the paper");
        return nullptr;
    }
    if (!printer->metrics().isValid()) {
        error = QCoreApplication::translate("PosterBatch", "the printer reports no printable area");
        return nullptr;
    }
    return printer;
}

PrintJobInputs JobInputs(const PosterRequest& r, const PosterGeometry& g, const PrintOptions& o,
                         int32_t pictureWidth, int32_t pictureHeight, const PrinterMetrics& m)
{
    PrintJobInputs in;
    in.render = {pictureWidth, pictureHeight, g, o, r.rightGluePercent, r.bottomGluePercent};
    in.render.smooth = r.smooth;
    if (r.dotsMm > 0)
        in.render.dots = DotGridOnPaper(in.render, r.dotsMm, r.dotsColour, m.pageWidth,
                                        m.pageHeight, m.dpiX, m.dpiY);
    in.order = r.order;
    in.choice = r.choice;
    in.pagesOff.fill(0);
    for (const auto& [column, row] : r.pagesOff)
        in.pagesOff[PageIndex(column, row)] = 1;
    in.pageLabels = r.pageLabels;
    in.assemblySheet = r.assemblySheet;
    return in;
}

QString PageText(const std::pair<int, int>& page)
{
    return QStringLiteral("%1,%2").arg(page.first).arg(page.second);
}

// The finished poster's size and the picture's resolution on paper, as lines of a report.
void ReportFinishedSize(QTextStream& out, const PageRenderInputs& render, const PrinterMetrics& m,
                        const DrawingSource* drawing)
{
    FinishedSize size = FinishedPosterSize(render, m.pageWidth, m.pageHeight, m.dpiX, m.dpiY);
    SetDrawingOnPaper(size, drawing);
    if (!size.valid)
        return;
    const QString coarse = CoarsenessText(size);
    out << QCoreApplication::translate("PosterBatch", "Finished size: %1").arg(SizeText(size))
        << '\n'
        << QCoreApplication::translate("PosterBatch", "Picture on paper: %1")
               .arg(ResolutionText(size) +
                    (coarse.isEmpty() ? QString() : QStringLiteral(", ") + coarse))
        << '\n';
    if (render.dots.valid()) {
        const QString apart =
            QString::number(render.dots.cellX * size.widthCm * 10 / render.pictureWidth, 'f', 1);
        out << (render.dots.colour ? QCoreApplication::translate(
                                         "PosterBatch", "Dot screen: dots %1 mm apart, in colour")
                                   : QCoreApplication::translate(
                                         "PosterBatch", "Dot screen: dots %1 mm apart, black"))
                   .arg(apart)
            << '\n';
    }
}

void ReportDryRun(QTextStream& out, const CurrentPrinter& printer, const PrinterMetrics& m,
                  const PosterRequest& r, const PrintJobInputs& in)
{
    const PaperFormatTexts paper = PaperFormatOf(m, r.rightGluePercent, r.bottomGluePercent);
    const QPageLayout layout = printer.printer().pageLayout();
    const PosterGeometry& g = in.render.geometry;
    const auto pages = PagesToPrint(in);
    out << QCoreApplication::translate("PosterBatch", "Printer: %1").arg(printer.destination())
        << '\n';
    out << (layout.orientation() == QPageLayout::Landscape
                ? QCoreApplication::translate("PosterBatch", "Paper: %1, landscape, %2")
                : QCoreApplication::translate("PosterBatch", "Paper: %1, portrait, %2"))
               .arg(layout.pageSize().name(), paper.paperSize)
        << '\n';
    out << QCoreApplication::translate("PosterBatch",
                                       "Margins: top %1, left %2, right %3, bottom %4")
               .arg(paper.topEdge, paper.leftEdge, paper.rightEdge, paper.bottomEdge)
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Printable area: %1 x %2 pixels")
               .arg(m.pageWidth)
               .arg(m.pageHeight)
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Resolution: %1 x %2 dpi")
               .arg(m.dpiX)
               .arg(m.dpiY)
        << '\n';
    out << (in.render.options.GlueEdge
                ? QCoreApplication::translate("PosterBatch", "Edge for glue: right %1, bottom %2")
                : QCoreApplication::translate("PosterBatch",
                                              "Edge for glue: right %1, bottom %2 (off)"))
               .arg(paper.rightGlue, paper.bottomGlue)
        << '\n';
    QStringList captions;
    for (const auto& [flag, caption] : kOptionCaptions)
        if (in.render.options.*flag)
            captions << QCoreApplication::translate("MainForm", caption);
    out << QCoreApplication::translate("PosterBatch", "Options:")
        << (captions.isEmpty() ? QString() : QLatin1Char(' ') + captions.join(QStringLiteral(", ")))
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Width in pages: %1")
               .arg(QString::number(g.PosterWidthPages, 'f', kSizeDecimals))
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Height in pages: %1")
               .arg(QString::number(g.PosterHeightPages, 'f', kSizeDecimals))
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Pages across: %1").arg(g.PagesAcross)
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Pages down: %1").arg(g.PagesDown) << '\n';
    out << QCoreApplication::translate("PosterBatch", "Pages in all: %1")
               .arg(g.PagesAcross * g.PagesDown)
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Pages to print: %1").arg(pages.size())
        << '\n';
    ReportFinishedSize(out, in.render, m, in.source.drawing());
    out << (in.pageLabels ? QCoreApplication::translate("PosterBatch", "Page labels: on")
                          : QCoreApplication::translate("PosterBatch", "Page labels: off"))
        << '\n';
    out << (in.assemblySheet ? QCoreApplication::translate(
                                   "PosterBatch", "Assembly sheet: on, before the first page")
                             : QCoreApplication::translate("PosterBatch", "Assembly sheet: off"))
        << '\n';
    out << QCoreApplication::translate("PosterBatch", "Print order:");
    for (const auto& page : pages)
        out << ' ' << PageText(page);
    out << Qt::endl;
}

// --info: the picture's width, height and colours after the edits, a drawing's pages, the
// orientation tag and the colour profile.
// The facts of a JPEG's picture from its header, as its read would make it: a grey photo of
// 8 bits, any other of 24.
PictureFacts FactsOfJpeg(const JpegSource& jpeg)
{
    JpegFacts header;
    const bool grey = ReadJpegFacts(reinterpret_cast<const uint8_t*>(jpeg.data.constData()),
                                    size_t(jpeg.data.size()), header) &&
                      header.colours == JpegColours::Grey && header.components == 1;
    PictureFacts facts;
    facts.width = QString::number(jpeg.width);
    facts.height = QString::number(jpeg.height);
    facts.colours = QString::number(zweihoch(grey ? 8 : 24));
    return facts;
}

// --info: the picture's facts, from its pixels, or from a JPEG's header when it was not decoded.
void ReportInfo(QTextStream& out, const PosterRequest& r, const PictureRecord& picture,
                const JpegSource* jpeg, const DrawingSource* drawing, int orientation)
{
    const PictureFacts facts = !picture.Bits && jpeg ? FactsOfJpeg(*jpeg) : PictureFactsOf(picture);
    out << QCoreApplication::translate("PosterBatch", "Width: %1").arg(facts.width) << '\n'
        << QCoreApplication::translate("PosterBatch", "Height: %1").arg(facts.height) << '\n'
        << QCoreApplication::translate("PosterBatch", "Colors: %1").arg(facts.colours) << Qt::endl;
    if (drawing)
        out << QCoreApplication::translate("PosterBatch", "Pages: %1")
                   .arg(drawing->page->pageCount())
            << '\n'
            << QCoreApplication::translate("PosterBatch", "Page %1: %2 x %3 mm, vectors")
                   .arg(r.page)
                   .arg(
                       QString::number(drawing->page->widthPoints() * kMillimetresPerPoint, 'f', 1),
                       QString::number(drawing->page->heightPoints() * kMillimetresPerPoint, 'f',
                                       1))
            << Qt::endl;
    if (orientation != 0)
        out << QCoreApplication::translate("PosterBatch", "Orientation: %1 (%2)")
                   .arg(orientation)
                   .arg(r.asStored && orientation != 1
                            ? QCoreApplication::translate("PosterBatch", "not applied: --as-stored")
                            : OrientationText(orientation))
            << Qt::endl;
    if (const ColourProfile& profile =
            !picture.Bits && jpeg ? jpeg->profile : PictureColourProfile(picture);
        !profile.empty())
        out << QCoreApplication::translate("PosterBatch", "Colour profile: %1 (%2, %3 bytes)")
                   .arg(QString::fromStdString(ProfileDescription(profile)),
                        QCoreApplication::translate("ColourProfile",
                                                    ProfileColoursText(profile.colours)))
                   .arg(profile.bytes.size())
            << Qt::endl;
}

// --save: the edited picture written to its file, a drawing at 300 dpi of its page or as a
// PDF page of vectors; 0, or the status of the failure said on err.
int SaveEdited(const PosterRequest& r, const PictureRecord& picture, const PosterSource& source,
               const std::shared_ptr<const DrawingSource>& drawing, QTextStream& out,
               QTextStream& err)
{
    QString error;
    if (r.dryRun)
        out << QCoreApplication::translate("PosterBatch", "Save: %1 (%2)")
                   .arg(FileNameText(r.saveFile), SaveTypeDescription(r.saveCode))
            << '\n';
    else if (r.saveCode == kSaveAsPdf) {
        // A drawing's page as it shows, still vectors; pixels have their own types.
        if (!source.drawing())
            return Fail(err,
                        QCoreApplication::translate(
                            "PosterBatch",
                            "%1: PDF is a save type for a PDF or SVG drawing kept as vectors")
                            .arg(FileNameText(r.saveFile)),
                        kBadRequest);
        if (QString reason;
            !SaveDrawingPdf(*source.drawing(), FileNameBytes(r.saveFile), &SaveStopped, &reason))
            return Fail(err,
                        QCoreApplication::translate("PosterBatch", "%1: Couldn't save file! (%2)")
                            .arg(FileNameText(r.saveFile), reason));
    } else {
        // A drawing is saved at 300 dpi of its page's size, not at its rendering's.
        const auto pageScale = [](const DrawingSource& d) {
            return DrawingScaleForPage(d, kDrawingPixelsPpi, MemoryForPictures());
        };
        HeldPicture sharp(drawing ? DrawingPixels(drawing, r.edits, pageScale, error)
                                  : PictureRecord());
        if (drawing && !sharp.get().Bits)
            return Fail(err, FileNameText(r.picture) + QStringLiteral(": ") + error);
        if (QString reason;
            !SaveDibFile(drawing ? sharp.get() : picture, FileNameBytes(r.saveFile).constData(),
                         r.saveCode, &reason, &SaveStopped))
            // The window's words, and the system's reason.
            return Fail(err,
                        QCoreApplication::translate("PosterBatch", "%1: Couldn't save file! (%2)")
                            .arg(FileNameText(r.saveFile), reason));
    }
    return 0;
}

// Brightness and contrast made the drawing pixels: it prints from a rendering at 300 ppi of the
// poster, of the same proportions as the rendering before, so the poster keeps its size. 0, or
// the status of the failure said on err.
int RenderDrawingForPoster(const PosterRequest& r,
                           const std::shared_ptr<const DrawingSource>& drawing,
                           const PrinterMetrics& metrics, const PrintOptions& options,
                           HeldPicture& picture, PosterGeometry& g, QTextStream& err)
{
    const FinishedSize size = FinishedPosterSize(
        JobInputs(r, g, options, DIBWidth(picture.get()), DIBHeight(picture.get()), metrics).render,
        metrics.pageWidth, metrics.pageHeight, metrics.dpiX, metrics.dpiY);
    const auto posterScale = [&size](const DrawingSource& d) {
        return DrawingScaleFor(d, size.widthInches, kDrawingPixelsPpi, MemoryForPictures());
    };
    QString error;
    picture.reset(DrawingPixels(drawing, r.edits, posterScale, error));
    if (!picture.get().Bits)
        return Fail(err, FileNameText(r.picture) + QStringLiteral(": ") + error);
    const int32_t w = DIBWidth(picture.get());
    const int32_t h = DIBHeight(picture.get());
    g = FitPosterLikeTheWindow(r, metrics, w, h);
    err << "velmora-poster: "
        << QCoreApplication::translate(
               "PosterBatch",
               "%1: brightness and contrast make the drawing pixels: it prints from a "
               "rendering of %2 x %3 pixels, %4 ppi on the poster")
               .arg(FileNameText(r.picture))
               .arg(w)
               .arg(h)
               .arg(std::lround(size.widthInches > 0 ? w / size.widthInches : 0))
        << Qt::endl;
    return 0;
}

// The first page --off names that the poster does not have, said as the error; empty when
// every one is on it.
QString PageOffOutside(const PosterRequest& r, const PosterGeometry& g)
{
    for (const auto& page : r.pagesOff)
        if (page.first >= g.PagesAcross || page.second >= g.PagesDown)
            return QCoreApplication::translate(
                       "PosterBatch",
                       "--off %1: the poster has %2 x %3 pages (columns 0 to %4, rows "
                       "0 to %5)")
                .arg(PageText(page))
                .arg(g.PagesAcross)
                .arg(g.PagesDown)
                .arg(g.PagesAcross - 1)
                .arg(g.PagesDown - 1);
    return {};
}

} // namespace

PosterGeometry FitPosterLikeTheWindow(const PosterRequest& r, const PrinterMetrics& metrics,
                                      int32_t pictureWidth, int32_t pictureHeight)
{
    PosterGeometry g; // one page by one, height-led until start-up ends
    SizeInputs in;
    in.pageWidth = metrics.pageWidth;
    in.pageHeight = metrics.pageHeight;
    in.options = OptionsFromBoxes(OptionBoxes{}, kDefaultIncrement).options;
    in.pictureWidth = kStartPictureWidth;
    in.pictureHeight = kStartPictureHeight;
    SimulatedSizeEdits edits(g, in);

    // Start-up: the options update's refit, then the width-led one.
    Refit(g, in, edits);
    FinishStartFit(g, in, edits);

    in.pictureWidth = pictureWidth;
    in.pictureHeight = pictureHeight;
    FitNewPicture(g, in, edits);

    // The options and glue edges as set; checking "Clue lines" from the rules runs the update
    // a second time, and each run ends in a refit.
    const OptionUpdate update = OptionsFromBoxes(r.boxes, kDefaultIncrement);
    in.options = update.options;
    in.rightGluePercent = r.rightGluePercent;
    in.bottomGluePercent = r.bottomGluePercent;
    if (update.checkGlueLines)
        Refit(g, in, edits);
    Refit(g, in, edits);

    for (const SizeEntry& size : r.sizes) {
        double pages = size.pages;
        if (size.millimetres > 0) {
            // The pages whose finished size comes nearest the length, as the poster stands.
            const bool width = size.side == SizeSide::Width;
            PageRenderInputs now;
            now.pictureWidth = pictureWidth;
            now.pictureHeight = pictureHeight;
            now.geometry = g;
            now.options = in.options;
            now.gx = in.rightGluePercent;
            now.gy = in.bottomGluePercent;
            const double pixels =
                size.millimetres / kMmPerInch * (width ? metrics.dpiX : metrics.dpiY);
            pages = PagesForFinishedSize(width, pixels, now, metrics.pageWidth, metrics.pageHeight,
                                         metrics.dpiX, metrics.dpiY);
        }
        edits.setValue(size.side, pages);
    }
    return g;
}

// A job's outcome: a failure in one line with where it went, a spooler's job by its name. A
// job handed to CUPS is queued, not printed: with `wait` it is followed to its end, and one
// that did not print is a failure with CUPS's reason.
int ReportPrinted(const PrintResult& result, const CurrentPrinter& printer, bool wait,
                  QTextStream& out, QTextStream& err)
{
    if (!result.ok()) {
        const QString where = printer.isPdfFile() ? FileNameText(printer.printer().outputFileName())
                                                  : printer.printer().printerName();
        return Fail(err, where + QStringLiteral(": ") + result.error);
    }
    if (result.jobId <= 0)
        return 0;
    const QString job =
        printer.printer().printerName() + QLatin1Char('-') + QString::number(result.jobId);
    if (!wait) {
        out << (result.queued ? QCoreApplication::translate(
                                    "PosterBatch", "Job: %1 (queued: the printer is stopped)")
                              : QCoreApplication::translate("PosterBatch", "Job: %1 (queued)"))
                   .arg(job)
            << Qt::endl;
        return 0;
    }
    const CupsJobState end = FollowCupsJob(result.jobId);
    if (end.stage == CupsJobState::Stage::Completed) {
        out << QCoreApplication::translate("PosterBatch", "Job: %1 (%2)")
                   .arg(job, CupsJobStateText(end))
            << Qt::endl;
        return 0;
    }
    if (end.stage == CupsJobState::Stage::Unknown)
        return Fail(err,
                    QCoreApplication::translate("PosterBatch", "%1: the job's end is not known: %2")
                        .arg(job, end.error));
    return Fail(err, QCoreApplication::translate("PosterBatch", "%1: the job was not printed: %2")
                         .arg(job, CupsJobStateText(end)));
}

int RunTestPage(const PosterRequest& r, QTextStream& out, QTextStream& err)
{
    QString error;
    const std::unique_ptr<CurrentPrinter> printer = PrinterFor(r, error);
    if (!printer)
        return Fail(err, error);
    // The window's own PDF file keeps the poster; the test page goes beside it.
    if (printer->isPdfFile() && r.outputFile.isEmpty())
        printer->printer().setOutputFileName(TestPagePathFor(printer->printer().outputFileName()));
    const PrinterMetrics m = printer->metrics();
    if (r.dryRun) {
        // The rulers as the page to be printed has them.
        const TestPagePlan plan = TestPageOf(m.pageWidth, m.pageHeight, m.dpiX, m.dpiY);
        out << QCoreApplication::translate("PosterBatch", "Printer: %1").arg(printer->destination())
            << '\n'
            << QCoreApplication::translate(
                   "PosterBatch",
                   "Test page: a 10 cm and a 4 inch ruler, %1 and %2 pixels at %3 dpi")
                   .arg(plan.cmRuler)
                   .arg(plan.inchRuler)
                   .arg(m.dpiX)
            << Qt::endl;
        return 0;
    }
    PrinterPageSink sink(printer->printer());
    return ReportPrinted(PrintTestPage(sink, m.dpiX, m.dpiY), *printer, r.wait, out, err);
}

int RunPosterRequest(const PosterRequest& r, QTextStream& out, QTextStream& err)
{
    if (r.cupsTimeout > 0)
        SetCupsTimeout(std::chrono::seconds(r.cupsTimeout));
    if (r.testPage)
        return RunTestPage(r, out, err);
    QString error;
    // A JPEG printed as it is, or only with edits its blocks can make, goes into the document
    // as its own data; it need not even be decoded, unless its data turns out not to cut into
    // pages. Only a run that prints needs the data; the others would read the file twice for
    // nothing.
    // A dot screen is made from the pixels.
    const bool printsOwnData = !r.scan && AllLossless(r.edits) && r.dotsMm <= 0 &&
                               r.action == PosterRequest::Action::Print && !r.dryRun && r.print;
    // A photo is turned upright by its orientation tag on load, as the window does, its JPEG
    // data by the same lossless steps.
    const int orientation = r.scan ? 0 : PictureOrientationOfFile(r.picture);
    const int applied = r.asStored ? 0 : orientation;
    // A drawing is printed as vectors; its pixels are a rendering, made only when something
    // needs them.
    std::shared_ptr<const DrawingSource> drawing;
    if (!r.scan && IsDrawingFile(r.picture)) {
        drawing = ReadDrawing(r.picture, r.page - 1, &error);
        if (!drawing)
            return Fail(err, FileNameText(r.picture) + QStringLiteral(": ") + error);
        ReportDrawing(err, r.picture, *drawing, r.action == PosterRequest::Action::Print);
    } else if (r.page != 1) {
        return Fail(err,
                    QCoreApplication::translate("PosterBatch", "%1: --page is for PDF files only")
                        .arg(FileNameText(r.picture)),
                    kBadRequest);
    }
    // --info of a JPEG, unedited or with edits its blocks can make, is told from its header, the
    // data checked at an eighth of its size. A file that fails either is read as a picture,
    // which says why.
    const bool infoFromHeader = !r.scan && !drawing && AllLossless(r.edits) &&
                                r.action == PosterRequest::Action::Info && r.saveFile.isEmpty();
    PosterSource source = drawing ? PosterSource::Drawing(drawing)
                          : printsOwnData || infoFromHeader
                              ? PosterSource::Jpeg(ReadJpegSource(r.picture)).Upright(applied)
                              : PosterSource();
    if (infoFromHeader && source.jpeg() &&
        !JpegDataReads(reinterpret_cast<const uint8_t*>(source.jpeg()->data.constData()),
                       size_t(source.jpeg()->data.size())))
        source = PosterSource();
    // The assembly sheet shows the picture faintly, from its pixels.
    const bool decode = source.IsPixels() || !r.saveFile.isEmpty() || r.assemblySheet ||
                        !AllLossless(r.edits) ||
                        (drawing && r.action != PosterRequest::Action::Print);
    std::string profileNote = source.jpeg() ? source.jpeg()->profileNote : std::string();
    const auto readPicture = [&r, &error, applied, &profileNote, &drawing]() -> PictureRecord {
        if (r.scan)
            return ScanPicture(r, error);
        if (drawing) {
            const PictureRecord rendering = RenderWholeDrawing(*drawing, &error);
            if (!rendering.Bits)
                error = FileNameText(r.picture) + QStringLiteral(": ") + error;
            return rendering;
        }
        const PictureRecord stored = ReadPicture(r.picture, error, &profileNote);
        if (!stored.Bits)
            return stored;
        const PictureRecord upright = TakeUpright(stored, applied);
        if (!upright.Bits)
            error = QCoreApplication::translate("PosterBatch",
                                                "%1: not enough memory to turn it upright")
                        .arg(FileNameText(r.picture));
        return upright;
    };
    HeldPicture picture(decode ? readPicture() : PictureRecord());
    if (decode && !picture.get().Bits)
        return Fail(err, error);
    if (Stopped())
        return kFailed;
    ReportProfileLeftOut(err, r.picture, profileNote);
    if (picture.get().Bits && !source.Fits(DIBWidth(picture.get()), DIBHeight(picture.get())))
        source = PosterSource();
    if (const int status = ApplyEdits(r.edits, picture, source, error))
        return Fail(err, error, status);
    const int32_t shownW = picture.get().Bits ? DIBWidth(picture.get()) : source.width();
    const int32_t shownH = picture.get().Bits ? DIBHeight(picture.get()) : source.height();

    if (r.action == PosterRequest::Action::Info)
        ReportInfo(out, r, picture.get(), source.jpeg(), drawing.get(), orientation);
    if (!r.saveFile.isEmpty())
        if (const int status = SaveEdited(r, picture.get(), source, drawing, out, err))
            return status;
    if (r.action == PosterRequest::Action::Info || !r.print) {
        // How large the poster would be on the printer it would go to, when there is one.
        QString ignored;
        if (r.action == PosterRequest::Action::Info && r.print)
            if (const std::unique_ptr<CurrentPrinter> printer = PrinterFor(r, ignored)) {
                const PrinterMetrics metrics = printer->metrics();
                const PosterGeometry g = FitPosterLikeTheWindow(r, metrics, shownW, shownH);
                const PrintOptions options = OptionsFromBoxes(r.boxes, kDefaultIncrement).options;
                ReportFinishedSize(out, JobInputs(r, g, options, shownW, shownH, metrics).render,
                                   metrics, source.drawing());
            }
        out << Qt::flush;
        return 0;
    }

    const std::unique_ptr<CurrentPrinter> printer = PrinterFor(r, error);
    if (!printer)
        return Fail(err, error);
    const PrinterMetrics metrics = printer->metrics();

    const PrintOptions options = OptionsFromBoxes(r.boxes, kDefaultIncrement).options;
    PosterGeometry g = FitPosterLikeTheWindow(r, metrics, shownW, shownH);
    if (drawing && source.IsPixels() && !r.dryRun)
        if (const int status =
                RenderDrawingForPoster(r, drawing, metrics, options, picture, g, err))
            return status;
    // A rendering made anew for the poster has a size of its own.
    const int32_t picW = picture ? DIBWidth(picture.get()) : shownW;
    const int32_t picH = picture ? DIBHeight(picture.get()) : shownH;
    if (const QString outside = PageOffOutside(r, g); !outside.isEmpty())
        return Fail(err, outside, kBadRequest);
    PrintJobInputs in = JobInputs(r, g, options, picW, picH, metrics);
    in.source = source;

    if (r.dryRun) {
        ReportDryRun(out, *printer, metrics, r, in);
        return 0;
    }
    // No page would leave no document, and for a PDF file no file: say so rather than succeed.
    if (PagesToPrint(in).empty())
        return Fail(
            err,
            QCoreApplication::translate("PosterBatch", "every page is left out; nothing to print"),
            kBadRequest);

    const bool showProgress = isatty(STDERR_FILENO) == 1;
    const auto print = [&] {
        PrinterPageSink sink(printer->printer());
        const PrintResult result =
            PrintPoster(sink, picture.get(), in, [&err, showProgress](int visited, int total) {
                if (showProgress)
                    err << "\rvelmora-poster: "
                        << QCoreApplication::translate("PosterBatch", "page %1 of %2")
                               .arg(visited)
                               .arg(total)
                        << Qt::flush;
            });
        if (showProgress)
            err << '\r' << QString(40, QLatin1Char(' ')) << '\r' << Qt::flush;
        return result;
    };
    if (Stopped())
        return kFailed;
    PrintResult result = print();
    if (result.needsPixels && !PrintStopRequested()) {
        // Upright as the data was, then edited alike.
        picture.reset(readPicture());
        if (!picture.get().Bits)
            return Fail(err, error);
        PosterSource pixels;
        if (const int status = ApplyEdits(r.edits, picture, pixels, error))
            return Fail(err, error, status);
        in.source = pixels;
        result = print();
    }
    return ReportPrinted(result, *printer, r.wait, out, err);
}
