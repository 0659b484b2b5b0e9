// SPDX-License-Identifier: GPL-3.0-or-later
// One page of a PDF file, as the source of a poster that is printed as vectors: every sheet draws
// the same page, written once into the poster document as a Form XObject.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QPDF;
class OptionalContent;

// An opened PDF document, one page of which is a poster's source. Immutable once opened, and
// shareable between threads: qpdf reads objects lazily and is not thread-safe, so every call that
// reaches it takes the page's own lock; calls on one page therefore run one at a time.
// Whether the bytes begin as a PDF file does: its signature within the first kilobyte, where PDF
// readers look for it behind whatever a mailer or a printer driver put in front.
bool HasPdfSignature(const QByteArray& head);

// One time the page paints a raster image: the image's size in pixels and the lengths on the
// page as it shows (after /Rotate and /UserUnit) of the edges its pixel rows and columns run
// along, in PDF points. A turned or skewed image has the lengths of its slanted edges, so the
// resolution it reaches along each edge is pixels over length, whatever the angle.
struct ImagePlacement
{
    QSize pixels;
    double widthPoints = 0;  // along the image's rows, its pixel width
    double heightPoints = 0; // along its columns, its pixel height
};

class VectorPage
{
public:
    // Opens `pdf` (the whole file's bytes) and its page `pageIndex` (0-based). False (null) with a
    // one-line reason in *error for: not a PDF; damaged beyond qpdf's repair (what qpdf repairs is
    // accepted); encrypted with a user password ("needs a password"; a file with only an owner
    // password opens); no such page ("has no page N; it has M", N counted from 1 as people count
    // pages); no pages. Never throws. qpdf reads only the bytes given, never a file.
    static std::shared_ptr<const VectorPage> Open(QByteArray pdf, int pageIndex, QString* error);

    ~VectorPage();

    int pageCount() const { return pageCount_; }
    int pageIndex() const { return pageIndex_; }

    // The page as it shows: its CropBox (default MediaBox; clipped to MediaBox), /Rotate
    // (inherited too, any multiple of 90) applied, scaled by /UserUnit. In PDF points.
    double widthPoints() const { return width_; }
    double heightPoints() const { return height_; }

    // The fonts the page draws with (its content, its forms, patterns and Type 3 glyphs, and its
    // annotations' print appearances) that the file does not embed: BaseFont names without a
    // subset prefix, sorted, unique. A font counts when the resources the page is drawn with hold
    // it, whether or not text uses it; composite fonts by their descendant's name.
    QStringList nonEmbeddedFonts() const;

    // Each time the page paints an image, in the order it paints them: image XObjects and inline
    // images drawn by its content, by the forms that draws (to any sane depth) and by its printing
    // annotations' appearances. Masks are part of the image they mask, not entries of their own (a
    // stencil mask painted by itself is an image: its pixels show as the fill colour);
    // images the file's default layers hide are left out, as are those in tiling patterns and
    // Type 3 glyphs. Images drawn with no area are left out too: they show nothing. Damaged
    // content gives what was read before the damage; a page that draws more than millions of
    // operators gives what its first ones paint.
    std::vector<ImagePlacement> imagePlacements() const;

    // Where the written objects go: newObject() gives the next object number of the target
    // document; write(number, body) writes one object's body (what goes between "N 0 obj" and
    // "endobj"), false when the target failed.
    struct ObjectSink
    {
        std::function<int()> newObject;
        std::function<bool(int, const QByteArray&)> write;
    };

    // Writes the page, with the print appearances of its annotations baked in, as one Form
    // XObject and every object it needs, each once. In the form's space the page as it shows
    // occupies (0,0)-(widthPoints,heightPoints). Streams keep their filters and data as the file
    // has them; only content that is several streams (as baked annotations make it) or has
    // hidden layers is written anew, decoded and deflated. Optional content is shown as the
    // file's default configuration shows it, since the target document has no layers: hidden
    // sections, XObjects and annotations are left out, shown ones are drawn as plain content.
    // Returns the form's object number, or 0 with the reason in *error. One stream's data is held
    // at a time.
    int WriteForm(ObjectSink& sink, QString* error) const;

private:
    VectorPage();

    QByteArray bytes_; // qpdf reads the file from these bytes; they must outlive it
    std::shared_ptr<QPDF> qpdf_;
    std::unique_ptr<OptionalContent> layers_;
    mutable std::mutex lock_;
    int pageCount_ = 0;
    int pageIndex_ = 0;
    QStringList fonts_;
    std::vector<ImagePlacement> images_;
    double width_ = 0;
    double height_ = 0;
    double bbox_[4] = {0, 0, 0, 0};         // the shown area in the page's default space
    double matrix_[6] = {1, 0, 0, 1, 0, 0}; // from that space to the upright page at (0,0)
};
