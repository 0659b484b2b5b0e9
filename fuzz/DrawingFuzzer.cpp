// SPDX-License-Identifier: GPL-3.0-or-later
// A PDF file as a poster's source: opened, its page measured and its fonts and images listed,
// then written as a form into a document that only counts what it is given. Every input either
// opens and writes, or is refused with a reason; none may crash, hang or leak.
#include "VectorPage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString error;
    const auto page = VectorPage::Open(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), 0, &error);
    if (!page) {
        if (error.isEmpty())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    if (!(page->widthPoints() > 0) || !(page->heightPoints() > 0))
        __builtin_trap(); // an opened page has an area
    (void)page->nonEmbeddedFonts();
    (void)page->imagePlacements();
    int objects = 0;
    size_t bytes = 0;
    VectorPage::ObjectSink sink;
    sink.newObject = [&objects] { return ++objects; };
    sink.write = [&bytes](int, const QByteArray& body) {
        bytes += size_t(body.size());
        return true;
    };
    const int form = page->WriteForm(sink, &error);
    if (form == 0 && error.isEmpty())
        __builtin_trap();
    if (form > objects)
        __builtin_trap(); // the form is one of the objects it numbered
    return 0;
}
