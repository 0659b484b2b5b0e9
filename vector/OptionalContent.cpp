// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionalContent.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <vector>

namespace {

// Membership expressions nest; a file that nests them deeper (or in a loop) is taken as shown.
constexpr int kMaxExpressionDepth = 32;

std::string NameIn(QPDFObjectHandle dict, const char* key)
{
    auto value = dict.getKey(key);
    return value.isName() ? value.getName() : std::string();
}

std::vector<QPDFObjectHandle> Items(QPDFObjectHandle h)
{
    if (h.isArray())
        return h.getArrayAsVector();
    if (h.isDictionary())
        return {h};
    return {};
}

class WithoutHiddenSections : public QPDFObjectHandle::TokenFilter
{
public:
    explicit WithoutHiddenSections(const std::set<std::string>& hidden) : hidden_(hidden) {}

    void handleToken(QPDFTokenizer::Token const& token) override
    {
        // Operands come before their operator, so they wait until it decides.
        if (token.getType() != QPDFTokenizer::tt_word && token.getType() != QPDFTokenizer::tt_eof) {
            waiting_.push_back(token);
            return;
        }
        const std::string& op = token.getValue();
        if (depth_ > 0) {
            if (op == "BDC" || op == "BMC")
                ++depth_;
            else if (op == "EMC")
                --depth_;
            waiting_.clear();
            return;
        }
        if (op == "BDC" && StartsHidden()) {
            depth_ = 1;
            waiting_.clear();
            return;
        }
        Flush();
        if (token.getType() == QPDFTokenizer::tt_word)
            writeToken(token);
    }

    void handleEOF() override
    {
        if (depth_ == 0)
            Flush();
    }

private:
    bool StartsHidden() const
    {
        std::vector<const QPDFTokenizer::Token*> operands;
        for (const auto& t : waiting_)
            if (t.getType() != QPDFTokenizer::tt_space && t.getType() != QPDFTokenizer::tt_comment)
                operands.push_back(&t);
        return operands.size() == 2 && operands[0]->getType() == QPDFTokenizer::tt_name &&
               operands[0]->getValue() == "/OC" &&
               operands[1]->getType() == QPDFTokenizer::tt_name &&
               hidden_.count(operands[1]->getValue());
    }

    void Flush()
    {
        for (const auto& t : waiting_)
            writeToken(t);
        waiting_.clear();
    }

    std::set<std::string> hidden_;
    std::vector<QPDFTokenizer::Token> waiting_;
    int depth_ = 0;
};

} // namespace

OptionalContent::OptionalContent(QPDF& qpdf)
{
    auto properties = qpdf.getRoot().getKey("/OCProperties");
    if (!properties.isDictionary())
        return;
    auto defaults = properties.getKey("/D");
    if (!defaults.isDictionary())
        return;
    const auto add = [this](QPDFObjectHandle list) {
        for (auto& group : Items(list))
            if (group.isIndirect())
                off_.insert(group.getObjGen());
    };
    if (NameIn(defaults, "/BaseState") == "/OFF") {
        add(properties.getKey("/OCGs"));
        for (auto& group : Items(defaults.getKey("/ON")))
            if (group.isIndirect())
                off_.erase(group.getObjGen());
    } else {
        add(defaults.getKey("/OFF"));
    }
}

bool OptionalContent::Hidden(QPDFObjectHandle oc) const
{
    return !off_.empty() && HiddenAt(oc, 0);
}

bool OptionalContent::HiddenAt(QPDFObjectHandle oc, int depth) const
{
    if (!oc.isDictionary() || depth > kMaxExpressionDepth)
        return false;
    const std::string type = NameIn(oc, "/Type");
    if (type != "/OCMD")
        return oc.isIndirect() && off_.count(oc.getObjGen());
    auto expression = oc.getKey("/VE");
    if (expression.isArray())
        return !VisibleExpression(expression, depth + 1);
    const auto groups = Items(oc.getKey("/OCGs"));
    if (groups.empty())
        return false;
    size_t hidden = 0;
    for (auto& group : groups)
        hidden += HiddenAt(group, depth + 1) ? 1 : 0;
    const std::string policy = NameIn(oc, "/P");
    if (policy == "/AllOn")
        return hidden > 0;
    if (policy == "/AnyOff")
        return hidden == 0;
    if (policy == "/AllOff")
        return hidden < groups.size();
    return hidden == groups.size(); // /AnyOn, the default
}

bool OptionalContent::VisibleExpression(QPDFObjectHandle expression, int depth) const
{
    if (depth > kMaxExpressionDepth)
        return true;
    if (!expression.isArray())
        return !HiddenAt(expression, depth);
    auto items = expression.getArrayAsVector();
    if (items.empty() || !items[0].isName())
        return true;
    const std::string op = items[0].getName();
    if (op == "/Not")
        return items.size() < 2 || !VisibleExpression(items[1], depth + 1);
    const bool all = op == "/And";
    for (size_t i = 1; i < items.size(); ++i)
        if (VisibleExpression(items[i], depth + 1) != all)
            return !all;
    return all;
}

std::set<std::string> OptionalContent::HiddenNames(QPDFObjectHandle resources) const
{
    std::set<std::string> names;
    if (off_.empty() || !resources.isDictionary())
        return names;
    auto properties = resources.getKey("/Properties");
    if (!properties.isDictionary())
        return names;
    for (auto& [name, value] : properties.getDictAsMap())
        if (HiddenAt(value, 0))
            names.insert(name);
    return names;
}

std::unique_ptr<QPDFObjectHandle::TokenFilter>
OptionalContent::Without(const std::set<std::string>& hidden)
{
    return std::make_unique<WithoutHiddenSections>(hidden);
}
