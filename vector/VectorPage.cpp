// SPDX-License-Identifier: GPL-3.0-or-later
#include "VectorPage.h"

#include "OptionalContent.h"
#include "PdfNumber.h"

#include <QCoreApplication>

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <stdexcept>

namespace {

// The decoded content of a page is read whole to join its streams; a page that claims more is
// refused rather than letting a compression bomb take the memory.
constexpr size_t kMaxJoinedContentBytes = size_t(256) << 20;
// US Letter, the size readers assume for a page without a usable MediaBox.
constexpr double kDefaultPageWidth = 612;
constexpr double kDefaultPageHeight = 792;
// Readers look for the header within the first kilobyte of the file.
constexpr int kHeaderSearchBytes = 1024;

struct Box
{
    double llx = 0, lly = 0, urx = 0, ury = 0;
    double width() const { return urx - llx; }
    double height() const { return ury - lly; }
};

bool ReadBox(QPDFObjectHandle array, Box* box)
{
    if (!array.isRectangle())
        return false;
    auto r = array.getArrayAsRectangle();
    *box = {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx),
            std::max(r.lly, r.ury)};
    return true;
}

QString OneLine(const std::string& text)
{
    return QString::fromStdString(text).simplified();
}

// Keys that lead from a resource back into the document's structure (its pages, tree, metadata):
// following them would copy the whole document, and nothing that draws needs them.
bool Dropped(const std::string& key)
{
    // Not /P: an annotation's page is never reached (/Annots is left out), while an optional
    // content membership's /P is its rule.
    static const std::set<std::string> keys = {"/Parent", "/StructParents", "/StructParent",
                                               "/Annots", "/Metadata",      "/PieceInfo",
                                               "/Thumb"};
    return keys.count(key) != 0;
}

bool IsPageObject(QPDFObjectHandle h)
{
    if (!h.isDictionary())
        return false;
    auto type = h.getKey("/Type");
    return type.isName() && (type.getName() == "/Page" || type.getName() == "/Pages" ||
                             type.getName() == "/Catalog");
}

std::string NameOf(QPDFObjectHandle dict, const char* key)
{
    auto value = dict.getKey(key);
    return value.isName() ? value.getName() : std::string();
}

// Visits every object reached from `root` as the form would copy it, each indirect one once.
// XObjects that the file hides are left out.
void ForEachReached(QPDFObjectHandle root, const OptionalContent& layers,
                    const std::function<void(QPDFObjectHandle)>& visit)
{
    std::set<QPDFObjGen> seen;
    std::vector<QPDFObjectHandle> todo{root};
    while (!todo.empty()) {
        QPDFObjectHandle h = todo.back();
        todo.pop_back();
        if (h.isIndirect() && !seen.insert(h.getObjGen()).second)
            continue;
        if (IsPageObject(h))
            continue;
        if (h.isArray()) {
            for (auto& item : h.getArrayAsVector())
                todo.push_back(item);
            continue;
        }
        QPDFObjectHandle dict = h.isStream() ? h.getDict() : h;
        if (!dict.isDictionary() || (h.isStream() && layers.Hidden(dict.getKey("/OC"))))
            continue;
        visit(h);
        for (auto& [k, v] : dict.getDictAsMap())
            if (!Dropped(k))
                todo.push_back(v);
    }
}

bool IsFont(QPDFObjectHandle dict)
{
    static const std::set<std::string> subtypes = {"/Type1", "/MMType1", "/TrueType",
                                                   "/CIDFontType0", "/CIDFontType2"};
    return dict.isDictionary() && !dict.isStream() && subtypes.count(NameOf(dict, "/Subtype")) &&
           dict.getKey("/BaseFont").isName();
}

bool FontEmbedded(QPDFObjectHandle font)
{
    auto descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary())
        return false;
    for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"})
        if (descriptor.getKey(key).isStream())
            return true;
    return false;
}

// "ABCDEF+Name" -> "Name": the tag a subset carries says nothing about the font.
QString WithoutSubsetTag(std::string name)
{
    if (name.size() > 1 && name[0] == '/')
        name.erase(0, 1);
    if (name.size() > 7 && name[6] == '+' &&
        std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; }))
        name.erase(0, 7);
    return QString::fromStdString(name);
}

// Collects decoded content streams, refusing more than the limit.
class LimitedCollector : public Pipeline
{
public:
    explicit LimitedCollector(std::string& out) : Pipeline("content", nullptr), out_(out) {}
    void write(unsigned char const* data, size_t len) override
    {
        if (out_.size() + len > kMaxJoinedContentBytes)
            throw std::length_error("its page content is larger than " +
                                    std::to_string(kMaxJoinedContentBytes >> 20) + " MB decoded");
        out_.append(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}

private:
    std::string& out_;
};

// Writes objects into the sink under numbers of its own, each indirect object once.
class FormWriter
{
public:
    FormWriter(VectorPage::ObjectSink& sink, const OptionalContent& layers)
        : sink_(sink), layers_(layers)
    {
    }

    // The object as it appears where it is used: a reference for an indirect one.
    QByteArray Value(QPDFObjectHandle h)
    {
        if (h.isIndirect()) {
            if (h.isNull() || IsPageObject(h))
                return "null";
            auto found = numbers_.find(h.getObjGen());
            if (found != numbers_.end())
                return QByteArray::number(found->second) + " 0 R";
            const int number = NewNumber();
            numbers_.emplace(h.getObjGen(), number);
            pending_.push_back(h);
            return QByteArray::number(number) + " 0 R";
        }
        return Direct(h);
    }

    // A dictionary's entries without the brackets, leaving out `skip` too.
    QByteArray Entries(QPDFObjectHandle dict, const std::set<std::string>& skip = {})
    {
        QByteArray text;
        for (auto& [key, value] : dict.getDictAsMap()) {
            if (Dropped(key) || skip.count(key))
                continue;
            text += QByteArray::fromStdString(QPDFObjectHandle::newName(key).unparse()) + ' ' +
                    Value(value) + ' ';
        }
        return text;
    }

    // Writes the objects that the written ones refer to, until none is left.
    bool WritePending()
    {
        while (!pending_.empty()) {
            QPDFObjectHandle h = pending_.front();
            pending_.pop_front();
            const int number = numbers_.at(h.getObjGen());
            if (h.isStream()) {
                if (!WriteStreamObject(number, h))
                    return false;
            } else if (!Write(number, Direct(h))) {
                return false;
            }
        }
        return true;
    }

    // A stream as the file has it; a form or pattern with hidden layers without them; an
    // XObject that is hidden as an empty form, so that what draws it draws nothing.
    bool WriteStreamObject(int number, QPDFObjectHandle stream)
    {
        auto dict = stream.getDict();
        if (layers_.Hidden(dict.getKey("/OC")))
            return WriteStream(number, "<< /Type /XObject /Subtype /Form /BBox [0 0 0 0] ", "", 0);
        const auto hidden = layers_.HiddenNames(dict.getKey("/Resources"));
        if (!hidden.empty()) {
            const QByteArray start =
                "<< " + Entries(dict, {"/Length", "/OC", "/Filter", "/DecodeParms", "/DL"});
            return WriteContent(number, start, hidden,
                                [&stream](Pipeline* out, QPDFObjectHandle::TokenFilter* f) {
                                    stream.filterAsContents(f, out);
                                });
        }
        auto data = stream.getRawStreamData();
        return WriteStream(number, "<< " + Entries(dict, {"/Length", "/OC"}),
                           reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }

    // Content made anew: decoded (bounded), without the hidden layers, deflated.
    bool WriteContent(int number, const QByteArray& dictStart, const std::set<std::string>& hidden,
                      const std::function<void(Pipeline*, QPDFObjectHandle::TokenFilter*)>& pipe)
    {
        std::string content;
        {
            LimitedCollector collect(content);
            auto filter = OptionalContent::Without(hidden);
            pipe(&collect, filter.get());
        }
        Pl_Buffer packed("packed");
        Pl_Flate deflate("deflate", &packed, Pl_Flate::a_deflate);
        deflate.write(reinterpret_cast<const unsigned char*>(content.data()), content.size());
        deflate.finish();
        std::string().swap(content);
        auto data = packed.getBufferSharedPointer();
        return WriteStream(number, dictStart + "/Filter /FlateDecode ",
                           reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }

    bool WriteStream(int number, const QByteArray& dictStart, const char* data, size_t size)
    {
        QByteArray body =
            dictStart + "/Length " + QByteArray::number(qulonglong(size)) + " >>\nstream\n";
        body.reserve(body.size() + qsizetype(size) + 11);
        body.append(data, qsizetype(size));
        body += "\nendstream";
        return Write(number, body);
    }

    int NewNumber()
    {
        const int number = sink_.newObject ? sink_.newObject() : 0;
        if (number <= 0) {
            failure =
                QCoreApplication::translate("VectorPage", "the document gave no object number");
            throw std::runtime_error(failure.toStdString());
        }
        return number;
    }

    QString failure;

private:
    QByteArray Direct(QPDFObjectHandle h)
    {
        if (h.isArray()) {
            QByteArray text = "[";
            for (auto& item : h.getArrayAsVector())
                text += Value(item) + ' ';
            return text + "]";
        }
        if (h.isDictionary())
            return "<< " + Entries(h) + ">>";
        if (h.isStream()) // only reached as an indirect object's body
            return "null";
        return QByteArray::fromStdString(h.unparse());
    }

    bool Write(int number, const QByteArray& body)
    {
        if (!sink_.write || !sink_.write(number, body)) {
            failure =
                QCoreApplication::translate("VectorPage", "the document could not be written");
            return false;
        }
        return true;
    }

    VectorPage::ObjectSink& sink_;
    const OptionalContent& layers_;
    std::map<QPDFObjGen, int> numbers_;
    std::deque<QPDFObjectHandle> pending_;
};

// Finding where images are painted reads the page's content the way a reader draws it, with limits
// so that a hostile file costs seconds and bounded memory: forms nest (or draw themselves) at most
// this deep, at most this many operators are read, and content is decoded at most this much in
// all (a form drawn many times is decoded each time) and this much at once along the forms being
// read (qpdf holds each one's decoded content whole while it is parsed).
constexpr int kMaxFormDepth = 32;
constexpr long long kMaxWalkedOperators = 2'000'000;
constexpr size_t kMaxWalkedContentBytes = size_t(1) << 30;
constexpr size_t kMaxHeldContentBytes = kMaxJoinedContentBytes;
// Deeper q nesting than readers allow keeps the state it has; Q unwinds the count first.
constexpr size_t kMaxSavedStates = 1024;
// An operator takes at most a handful of operands (an inline image's dictionary the most); more
// are damage, and are dropped rather than held.
constexpr size_t kMaxOperands = 256;

// A PDF matrix [a b c d e f], mapping (x, y) to (ax + cy + e, bx + dy + f).
struct Matrix
{
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // `m` applied first, then this: how cm and a form's /Matrix change the current matrix.
    Matrix After(const Matrix& m) const
    {
        return {m.a * a + m.b * c, m.a * b + m.b * d,     m.c * a + m.d * c,
                m.c * b + m.d * d, m.e * a + m.f * c + e, m.e * b + m.f * d + f};
    }
};

bool ReadMatrix(std::vector<QPDFObjectHandle> numbers, Matrix* m)
{
    if (numbers.size() != 6)
        return false;
    double v[6];
    for (size_t i = 0; i < 6; ++i) {
        if (!numbers[i].isNumber())
            return false;
        v[i] = numbers[i].getNumericValue();
    }
    *m = {v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

// Counts decoded content without keeping it, refusing more than the limit.
class SizeCounter : public Pipeline
{
public:
    explicit SizeCounter(size_t limit) : Pipeline("size", nullptr), limit_(limit) {}
    void write(unsigned char const*, size_t len) override
    {
        size += len;
        if (size > limit_) {
            over = true;
            throw std::length_error("content larger than the limit");
        }
    }
    void finish() override {}

    size_t size = 0;
    bool over = false;

private:
    size_t limit_;
};

// Whether the page's content holds the operator that begins an inline image, "BI" between
// white space or delimiters, read as it decodes without keeping it. True when it can't be read
// to the end: the walk then finds what it can.
class InlineImageFinder : public Pipeline
{
public:
    InlineImageFinder() : Pipeline("inline images", nullptr) {}
    void write(unsigned char const* data, size_t len) override
    {
        // Most bytes are not an I after a B: only those are looked at closely.
        for (size_t i = 0; i < len && !found; ++i) {
            const unsigned char c = data[i];
            if (before_ == 'B' && last_ == 'I')
                found = Ends(c) && Ends(beforeB_);
            beforeB_ = before_;
            before_ = last_;
            last_ = c;
        }
    }
    // Streams are read as if white space stood between them, as their tokens may not run on.
    void finish() override
    {
        const unsigned char space = ' ';
        write(&space, 1);
    }
    bool found = false;

private:
    static bool Ends(unsigned char c)
    {
        return std::strchr(" \t\r\n\f()<>[]{}/%", c) != nullptr || c == 0;
    }
    unsigned char beforeB_ = ' ', before_ = ' ', last_ = ' ';
};

bool ContentHasInlineImage(QPDFPageObjectHelper page)
{
    // Each stream on its own, decoded as it streams; qpdf's joined contents would be buffered.
    InlineImageFinder finder;
    try {
        for (QPDFObjectHandle stream : page.getPageContents()) {
            if (!stream.pipeStreamData(&finder, 0, qpdf_dl_all))
                return true;
            if (finder.found)
                return true;
        }
    } catch (const std::exception&) {
        return true;
    }
    return finder.found;
}

class PlacementWalk;

// Reads one content stream (or a page's streams as one) in its own graphics state: a form's
// unbalanced Q cannot reach the state of what draws it.
class ContentReader : public QPDFObjectHandle::ParserCallbacks
{
public:
    ContentReader(PlacementWalk& walk, QPDFObjectHandle resources, const Matrix& ctm, int depth);
    void handleObject(QPDFObjectHandle object) override;
    void handleEOF() override {}

private:
    void Operator(const std::string& op);
    bool StartsHidden();
    void InlineImage();

    PlacementWalk& walk_;
    QPDFObjectHandle resources_;
    Matrix ctm_;
    int depth_;
    std::set<std::string> hiddenNames_;
    std::vector<QPDFObjectHandle> operands_;
    std::vector<Matrix> saved_;
    size_t unsaved_ = 0;
    int hiddenDepth_ = 0; // inside a hidden marked-content section: its nesting
};

class PlacementWalk
{
public:
    explicit PlacementWalk(const OptionalContent& layers) : layers(layers) {}

    // Tiling patterns and Type 3 glyphs are not followed: they draw in spaces of their own (a
    // pattern's from the page's default space, a glyph's from the text state), and images in
    // them are rare.
    void Page(QPDFPageObjectHelper page, QPDFObjectHandle resources, const Matrix& ctm)
    {
        try {
            SizeCounter counter(Allowed());
            try {
                page.pipeContents(&counter);
            } catch (const std::exception&) {
            }
            if (!Charge(counter))
                return;
            held_ += counter.size;
            ContentReader reader(*this, resources, ctm, 0);
            page.parseContents(&reader);
        } catch (const std::exception&) {
            // Damaged content: what was read before the damage stands.
        }
    }

    void Draw(const std::string& name, QPDFObjectHandle resources, const Matrix& ctm, int depth)
    {
        auto xobjects = resources.isDictionary() ? resources.getKey("/XObject") : resources;
        if (!xobjects.isDictionary())
            return;
        auto xobject = xobjects.getKey(name);
        if (!xobject.isStream())
            return;
        auto dict = xobject.getDict();
        if (layers.Hidden(dict.getKey("/OC")))
            return;
        const std::string subtype = NameOf(dict, "/Subtype");
        if (subtype == "/Image") {
            Add(dict.getKey("/Width"), dict.getKey("/Height"), ctm);
        } else if (subtype == "/Form" && depth < kMaxFormDepth &&
                   !(xobject.isIndirect() && drawing_.count(xobject.getObjGen()))) {
            Matrix m;
            auto matrix = dict.getKey("/Matrix");
            if (matrix.isArray())
                ReadMatrix(matrix.getArrayAsVector(), &m);
            auto own = dict.getKey("/Resources");
            Form(xobject, own.isDictionary() ? own : resources, ctm.After(m), depth + 1);
        }
    }

    void Add(QPDFObjectHandle width, QPDFObjectHandle height, const Matrix& ctm)
    {
        if (!width.isInteger() || !height.isInteger() || width.getIntValue() <= 0 ||
            height.getIntValue() <= 0)
            return;
        const double along = std::hypot(ctm.a, ctm.b), across = std::hypot(ctm.c, ctm.d);
        if (!std::isfinite(along) || !std::isfinite(across) || along <= 0 || across <= 0)
            return;
        ImagePlacement placement;
        placement.pixels = QSize(width.getIntValueAsInt(), height.getIntValueAsInt());
        placement.widthPoints = along;
        placement.heightPoints = across;
        found.push_back(placement);
    }

    // Counts one operator; false once the walk is over.
    bool Step()
    {
        if (!stopped && ++operators_ > kMaxWalkedOperators)
            stopped = true;
        return !stopped;
    }

    const OptionalContent& layers;
    std::vector<ImagePlacement> found;
    bool stopped = false;

private:
    void Form(QPDFObjectHandle form, QPDFObjectHandle resources, const Matrix& ctm, int depth)
    {
        const QPDFObjGen id = form.getObjGen();
        drawing_.insert(id);
        const size_t heldBefore = held_;
        try {
            // A form drawn many times (a map's symbol) is measured once.
            SizeCounter counter(Allowed());
            auto known = sizes_.find(id);
            if (known != sizes_.end() && known->second <= Allowed())
                counter.size = known->second;
            else
                form.pipeStreamData(&counter, 0, qpdf_dl_all);
            if (Charge(counter)) {
                sizes_[id] = counter.size;
                held_ += counter.size;
                ContentReader reader(*this, resources, ctm, depth);
                form.parseAsContents(&reader);
            }
        } catch (const std::exception&) {
            // A damaged form ends there; what draws it goes on.
        }
        held_ = heldBefore;
        drawing_.erase(id);
    }

    size_t Allowed() const
    {
        return std::min(kMaxWalkedContentBytes - decoded_, kMaxHeldContentBytes - held_);
    }

    // Books the decoded size; past a limit the walk stops.
    bool Charge(const SizeCounter& counter)
    {
        if (counter.over) {
            stopped = true;
            return false;
        }
        decoded_ += counter.size;
        return true;
    }

    std::set<QPDFObjGen> drawing_; // the forms being read, to refuse one that draws itself
    std::map<QPDFObjGen, size_t> sizes_;
    long long operators_ = 0;
    size_t decoded_ = 0;
    size_t held_ = 0;
};

ContentReader::ContentReader(PlacementWalk& walk, QPDFObjectHandle resources, const Matrix& ctm,
                             int depth)
    : walk_(walk), resources_(resources), ctm_(ctm), depth_(depth),
      hiddenNames_(walk.layers.HiddenNames(resources))
{
}

void ContentReader::handleObject(QPDFObjectHandle object)
{
    if (walk_.stopped)
        terminateParsing();
    if (object.isOperator()) {
        if (!walk_.Step())
            terminateParsing();
        Operator(object.getOperatorValue());
        operands_.clear();
    } else if (!object.isInlineImage()) {
        if (operands_.size() >= kMaxOperands)
            operands_.clear();
        operands_.push_back(object);
    }
}

void ContentReader::Operator(const std::string& op)
{
    if (op == "q") {
        if (saved_.size() < kMaxSavedStates)
            saved_.push_back(ctm_);
        else
            ++unsaved_;
    } else if (op == "Q") {
        if (unsaved_ > 0) {
            --unsaved_;
        } else if (!saved_.empty()) {
            ctm_ = saved_.back();
            saved_.pop_back();
        }
    } else if (op == "cm") {
        Matrix m;
        if (ReadMatrix(operands_, &m))
            ctm_ = ctm_.After(m);
    } else if (op == "BDC" || op == "BMC") {
        if (hiddenDepth_ > 0)
            ++hiddenDepth_;
        else if (op == "BDC" && StartsHidden())
            hiddenDepth_ = 1;
    } else if (op == "EMC") {
        if (hiddenDepth_ > 0)
            --hiddenDepth_;
    } else if (hiddenDepth_ > 0) {
        return;
    } else if (op == "Do") {
        if (operands_.size() == 1 && operands_[0].isName())
            walk_.Draw(operands_[0].getName(), resources_, ctm_, depth_);
    } else if (op == "ID") {
        InlineImage();
    }
}

// `/OC /name BDC` with a name the resources mark hidden, or `/OC <<membership>> BDC` that is.
bool ContentReader::StartsHidden()
{
    if (operands_.size() != 2 || !operands_[0].isName() || operands_[0].getName() != "/OC")
        return false;
    if (operands_[1].isName())
        return hiddenNames_.count(operands_[1].getName()) != 0;
    return walk_.layers.Hidden(operands_[1]);
}

// The operands of ID are the inline image's dictionary, key after value.
void ContentReader::InlineImage()
{
    QPDFObjectHandle width, height;
    for (size_t i = 0; i + 1 < operands_.size(); i += 2) {
        if (!operands_[i].isName())
            continue;
        const std::string key = operands_[i].getName();
        if (key == "/W" || key == "/Width")
            width = operands_[i + 1];
        else if (key == "/H" || key == "/Height")
            height = operands_[i + 1];
    }
    if (width.isInitialized() && height.isInitialized())
        walk_.Add(width, height, ctm_);
}

} // namespace

VectorPage::VectorPage() = default;
VectorPage::~VectorPage() = default;

bool HasPdfSignature(const QByteArray& head)
{
    return head.left(kHeaderSearchBytes).contains("%PDF-");
}

std::shared_ptr<const VectorPage> VectorPage::Open(QByteArray pdf, int pageIndex, QString* error)
{
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return std::shared_ptr<const VectorPage>();
    };
    if (!HasPdfSignature(pdf))
        return fail(QCoreApplication::translate("VectorPage", "not a PDF"));

    std::shared_ptr<VectorPage> page(new VectorPage);
    page->bytes_ = std::move(pdf);
    page->pageIndex_ = pageIndex;
    try {
        page->qpdf_ = std::make_shared<QPDF>();
        QPDF& qpdf = *page->qpdf_;
        // Warnings about repairs go nowhere: a repaired file is accepted as it is.
        auto quiet = QPDFLogger::create();
        quiet->setInfo(quiet->discard());
        quiet->setWarn(quiet->discard());
        quiet->setError(quiet->discard());
        qpdf.setLogger(quiet);
        qpdf.setSuppressWarnings(true);
        qpdf.setAttemptRecovery(true);
        qpdf.processMemoryFile("source PDF", page->bytes_.constData(), size_t(page->bytes_.size()));

        QPDFPageDocumentHelper pages(qpdf);
        auto all = pages.getAllPages();
        page->pageCount_ = int(all.size());
        if (all.empty())
            return fail(QCoreApplication::translate("VectorPage", "has no pages"));
        if (pageIndex < 0 || pageIndex >= page->pageCount_)
            return fail(QCoreApplication::translate("VectorPage", "has no page %1; it has %2")
                            .arg(pageIndex + 1)
                            .arg(all.size()));
        QPDFPageObjectHelper source = all[size_t(pageIndex)];

        Box media{0, 0, kDefaultPageWidth, kDefaultPageHeight};
        ReadBox(source.getAttribute("/MediaBox", false), &media);
        Box shown = media;
        Box crop;
        if (ReadBox(source.getAttribute("/CropBox", false), &crop))
            shown = {std::max(crop.llx, media.llx), std::max(crop.lly, media.lly),
                     std::min(crop.urx, media.urx), std::min(crop.ury, media.ury)};
        if (shown.width() <= 0 || shown.height() <= 0)
            return fail(QString("page %1 shows nothing: its CropBox and MediaBox have no area in "
                                "common")
                            .arg(pageIndex + 1));

        // Readers take a rotation that is not a quarter turn as none.
        int rotate = 0;
        auto rotation = source.getAttribute("/Rotate", false);
        if (rotation.isNumber()) {
            const long long r = std::llround(rotation.getNumericValue()) % 360;
            rotate = int(r < 0 ? r + 360 : r);
            if (rotate % 90 != 0)
                rotate = 0;
        }
        double unit = 1;
        auto userUnit = source.getObjectHandle().getKey("/UserUnit");
        if (userUnit.isNumber() && userUnit.getNumericValue() > 0)
            unit = userUnit.getNumericValue();

        // The matrix turns the shown area upright with its lower left corner at the origin.
        const double x0 = shown.llx, y0 = shown.lly, x1 = shown.urx, y1 = shown.ury;
        double m[6] = {1, 0, 0, 1, -x0, -y0};
        if (rotate == 90)
            m[0] = 0, m[1] = -1, m[2] = 1, m[3] = 0, m[4] = -y0, m[5] = x1;
        else if (rotate == 180)
            m[0] = -1, m[1] = 0, m[2] = 0, m[3] = -1, m[4] = x1, m[5] = y1;
        else if (rotate == 270)
            m[0] = 0, m[1] = 1, m[2] = -1, m[3] = 0, m[4] = y1, m[5] = -x0;
        for (int i = 0; i < 6; ++i)
            page->matrix_[i] = m[i] * unit;
        page->bbox_[0] = x0, page->bbox_[1] = y0, page->bbox_[2] = x1, page->bbox_[3] = y1;
        const bool sideways = rotate == 90 || rotate == 270;
        page->width_ = unit * (sideways ? shown.height() : shown.width());
        page->height_ = unit * (sideways ? shown.width() : shown.height());

        // qpdf turns annotations with the page's own /Rotate only, so an inherited one is set on
        // the page first. Form fields get appearances where the file asks for new ones, and
        // annotations on a hidden layer are hidden, which qpdf's flattening does not look at.
        source.getObjectHandle().replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
        page->layers_ = std::make_unique<OptionalContent>(qpdf);
        for (auto& annotation : source.getAnnotations()) {
            auto dict = annotation.getObjectHandle();
            if (page->layers_->Hidden(dict.getKey("/OC")))
                dict.replaceKey("/F",
                                QPDFObjectHandle::newInteger(annotation.getFlags() | an_hidden));
        }
        QPDFAcroFormDocumentHelper forms(qpdf);
        if (forms.getNeedAppearances())
            forms.generateAppearancesIfNeeded();
        pages.flattenAnnotations(an_print, an_invisible | an_hidden);

        std::set<QString> fonts;
        bool imagesOrForms = false;
        auto resources = source.getAttribute("/Resources", false);
        ForEachReached(resources, *page->layers_, [&](QPDFObjectHandle h) {
            if (!h.isStream() && IsFont(h) && !FontEmbedded(h))
                fonts.insert(WithoutSubsetTag(h.getKey("/BaseFont").getName()));
            if (h.isStream() && (NameOf(h.getDict(), "/Subtype") == "/Image" ||
                                 NameOf(h.getDict(), "/Subtype") == "/Form"))
                imagesOrForms = true;
        });
        page->fonts_ = QStringList(fonts.begin(), fonts.end());

        // The page's content draws in its default space; the matrix takes that to the page as it
        // shows. Masks are reached only through the image they mask, so they never count. A
        // page that can paint no image (no image or form it could draw, no inline image in its
        // content) is not parsed: a drawing of millions of paths would cost a second copy of
        // its content for nothing.
        if (imagesOrForms || ContentHasInlineImage(source)) {
            PlacementWalk walk(*page->layers_);
            const double* t = page->matrix_;
            walk.Page(source, resources, Matrix{t[0], t[1], t[2], t[3], t[4], t[5]});
            page->images_ = std::move(walk.found);
        }
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password)
            return fail(QCoreApplication::translate("VectorPage", "needs a password"));
        return fail(QCoreApplication::translate("VectorPage", "damaged beyond repair: %1")
                        .arg(OneLine(e.getMessageDetail())));
    } catch (const std::exception& e) {
        return fail(QCoreApplication::translate("VectorPage", "damaged beyond repair: %1")
                        .arg(OneLine(e.what())));
    }
    return page;
}

QStringList VectorPage::nonEmbeddedFonts() const
{
    return fonts_;
}

std::vector<ImagePlacement> VectorPage::imagePlacements() const
{
    return images_;
}

int VectorPage::WriteForm(ObjectSink& sink, QString* error) const
{
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return 0;
    };
    std::lock_guard<std::mutex> held(lock_);
    FormWriter writer(sink, *layers_);
    try {
        QPDFPageObjectHelper source =
            QPDFPageDocumentHelper(*qpdf_).getAllPages().at(size_t(pageIndex_));
        const int form = writer.NewNumber();
        QByteArray dict = "<< /Type /XObject /Subtype /Form /FormType 1 /BBox [" +
                          PdfNumber(bbox_[0]) + ' ' + PdfNumber(bbox_[1]) + ' ' +
                          PdfNumber(bbox_[2]) + ' ' + PdfNumber(bbox_[3]) + "] /Matrix [";
        for (double v : matrix_)
            dict += PdfNumber(v) + ' ';
        auto resources = source.getAttribute("/Resources", false);
        dict +=
            "] /Resources " + (resources.isDictionary() ? writer.Value(resources) : "<< >>") + ' ';
        auto group = source.getObjectHandle().getKey("/Group");
        if (group.isDictionary())
            dict += "/Group " + writer.Value(group) + ' ';

        // One content stream is copied as the file has it; several (as flattening makes) are
        // joined decoded, as is content with hidden layers.
        auto contents = source.getObjectHandle().getKey("/Contents");
        const auto hidden = layers_->HiddenNames(resources);
        bool written = false;
        if (contents.isStream() && hidden.empty()) {
            for (const char* key : {"/Filter", "/DecodeParms"}) {
                auto value = contents.getDict().getKey(key);
                if (!value.isNull())
                    dict += QByteArray(key) + ' ' + writer.Value(value) + ' ';
            }
            auto data = contents.getRawStreamData();
            written = writer.WriteStream(
                form, dict, reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        } else if (contents.isStream() || contents.isArray()) {
            written = writer.WriteContent(
                form, dict, hidden, [&source](Pipeline* out, QPDFObjectHandle::TokenFilter* f) {
                    source.filterContents(f, out);
                });
        } else {
            written = writer.WriteStream(form, dict, "", 0);
        }
        if (!written || !writer.WritePending())
            return fail(writer.failure);
        return form;
    } catch (const QPDFExc& e) {
        return fail(QCoreApplication::translate("VectorPage", "damaged beyond repair: %1")
                        .arg(OneLine(e.getMessageDetail())));
    } catch (const std::exception& e) {
        if (!writer.failure.isEmpty())
            return fail(writer.failure);
        return fail(QCoreApplication::translate("VectorPage", "damaged beyond repair: %1")
                        .arg(OneLine(e.what())));
    }
}
