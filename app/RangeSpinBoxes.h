// SPDX-License-Identifier: GPL-3.0-or-later
// The window's spin edits: a number typed out of an edit's range stays in the edit while it has
// the focus and is brought into the range when the edit is left (Qt's own refuse the keystroke
// that leaves the range, and put the old value back on leaving a number below it).
#pragma once

#include <QDoubleSpinBox>
#include <QLocale>
#include <QSpinBox>
#include <QValidator>

#include <algorithm>
#include <type_traits>

namespace spinedits {

// The number in an edit's text, without its prefix and suffix; false when there is none.
template <class Box> bool NumberIn(const Box& box, QString text, double* value)
{
    if (!box.prefix().isEmpty() && text.startsWith(box.prefix()))
        text.remove(0, box.prefix().size());
    if (!box.suffix().isEmpty() && text.endsWith(box.suffix()))
        text.chop(box.suffix().size());
    text = text.trimmed();
    bool ok = false;
    *value = box.locale().toDouble(text, &ok);
    if (!ok)
        *value = QLocale::c().toDouble(text, &ok);
    return ok;
}

} // namespace spinedits

// The validation and correction both edits share; Box is QSpinBox or QDoubleSpinBox.
template <class Box> class RangeSpin : public Box
{
public:
    explicit RangeSpin(QWidget* parent = nullptr) : Box(parent)
    {
        this->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    }

    QValidator::State validate(QString& text, int& pos) const override
    {
        const QValidator::State state = Box::validate(text, pos);
        double v = 0;
        if (state == QValidator::Invalid && spinedits::NumberIn(*this, text, &v) &&
            (!kWhole || v == double(qint64(v))))
            return QValidator::Intermediate;
        return state;
    }

    void fixup(QString& text) const override
    {
        double v = 0;
        if (!spinedits::NumberIn(*this, text, &v)) {
            Box::fixup(text);
            return;
        }
        const double confined = std::clamp<double>(v, this->minimum(), this->maximum());
        if constexpr (kWhole)
            text = this->textFromValue(int(confined));
        else
            text = this->textFromValue(confined);
    }

private:
    static constexpr bool kWhole = std::is_same_v<Box, QSpinBox>;
};

class RangeSpinBox : public RangeSpin<QSpinBox>
{
public:
    using RangeSpin::RangeSpin;
};

class RangeDoubleSpinBox : public RangeSpin<QDoubleSpinBox>
{
public:
    using RangeSpin::RangeSpin;
};
