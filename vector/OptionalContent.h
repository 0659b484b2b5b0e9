// SPDX-License-Identifier: GPL-3.0-or-later
// Optional content (layers) of a PDF file, taken as its default configuration shows it. The
// poster document has no /OCProperties of its own, so a reader would show every group; what the
// file hides by default is therefore left out when the page is copied, and what it shows is
// copied without its group.
#pragma once

#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <memory>
#include <set>
#include <string>

class QPDF;

class OptionalContent
{
public:
    // Reads the default configuration (/OCProperties /D: /BaseState, /ON, /OFF) of the file.
    explicit OptionalContent(QPDF& qpdf);

    // Whether content marked with `oc` (an optional content group or membership dictionary, as
    // an /OC entry or a /Properties resource holds it) is hidden by default. Anything else is
    // shown.
    bool Hidden(QPDFObjectHandle oc) const;

    // The names in the /Properties of `resources` that mark content hidden by default.
    std::set<std::string> HiddenNames(QPDFObjectHandle resources) const;

    // Passes content stream data on without the marked-content sections (`/OC /Name BDC` to
    // its EMC) whose name is one of `hidden`.
    static std::unique_ptr<QPDFObjectHandle::TokenFilter>
    Without(const std::set<std::string>& hidden);

private:
    bool HiddenAt(QPDFObjectHandle oc, int depth) const;
    bool VisibleExpression(QPDFObjectHandle expression, int depth) const;

    std::set<QPDFObjGen> off_;
};
