// The print job: visiting the pages in the chosen order, one printer page per printed poster
// page with its help lines, the document begun only at the first printed page.
#pragma once

#include "PageRender.h"
#include "PosterTypes.h"

#include <QSize>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QPainter;
class QPrinter;
struct PictureRecord;

enum class PrintOrder
{
    RowPerRow,       // "Row per row from the top to the bottom": down each column in turn
    ColumnPerColumn, // "Column per column from left to the right": along each row in turn
};

enum class PageChoice
{
    AllPages,         // "All pages"
    NotTheClickedOff, // "Not the pages which are clicked off"
};

std::vector<std::pair<int, int>> PageOrder(PrintOrder order, int pagesAcross, int pagesDown);

// Round((100 - g * GlueEdge) * printable / 100): the picture area of each printed page.
QSize PictureAreaOf(QSize printable, const PrintOptions& options, int gx, int gy);

// Where the pages go. The printer one is below; tests use their own.
class PageSink
{
public:
    virtual ~PageSink() = default;
    virtual QSize PrintableSize() const = 0; // device pixels of the printable area
    virtual void SetDocName(const QString& name) = 0;
    virtual QPainter* BeginDocument() = 0; // nullptr when the document can't be begun
    virtual bool NewPage() = 0;
    virtual bool EndDocument() = 0;
    virtual void Abort() = 0; // after a failure: nothing half-written is to stay behind
    virtual QString ErrorText() const = 0;
};

class PrinterPageSink : public PageSink
{
public:
    explicit PrinterPageSink(QPrinter& printer);
    ~PrinterPageSink() override;
    QSize PrintableSize() const override;
    void SetDocName(const QString& name) override;
    QPainter* BeginDocument() override;
    bool NewPage() override;
    bool EndDocument() override;
    void Abort() override;
    QString ErrorText() const override;

private:
    QPrinter& printer_;
    QPainter* painter_ = nullptr;
    bool begun_ = false; // the document was opened, so its output is this job's own
    QString error_;
};

struct PrintJobInputs
{
    PageRenderInputs render; // picture size, geometry, options, glue percentages
    PrintOrder order = PrintOrder::RowPerRow;
    PageChoice choice = PageChoice::AllPages;
    PageGrid pagesOff{};
};

struct PrintResult
{
    int pagesPrinted = 0;
    QString error; // empty when the job went through

    bool ok() const { return error.isEmpty(); }
};

inline const char* const kPosterDocName = "Kantelberg Poster";

PrintResult PrintPoster(PageSink& sink, const PictureRecord& picture, const PrintJobInputs& in,
                        const std::function<void(int visited, int total)>& progress);
