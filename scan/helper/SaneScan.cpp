// SPDX-License-Identifier: GPL-3.0-or-later
// One open SANE device in the scanner helper: its settings, and the frames of one scan.
#include "SaneScan.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace {

// Statuses of later SANE versions, which sane.h keeps behind #if 0; newer backends send them.
constexpr int kWarmingUp = 12;
constexpr int kHardwareLocked = 13;

// A frame beyond this would not fit a picture anyway (4 GiB of rows at most), and the backends
// count bytes in SANE_Int.
constexpr int64_t kMaxFrameBytes = std::numeric_limits<SANE_Int>::max();
constexpr size_t kReadChunk = 64 * 1024;
// Lamps take their time; scanimage waits about as long.
constexpr auto kWarmUpLimit = std::chrono::seconds(60);

ScanProblem Cancelled()
{
    return SaneProblem(SANE_STATUS_CANCELLED);
}

ScanProblem Unreadable()
{
    return {ScanProblemCode::Unreadable, {}};
}

ScanProblem TooLarge()
{
    return {ScanProblemCode::TooLarge, {}};
}

ScanProblem NoSuchSetting(const char* name)
{
    return {ScanProblemCode::NoSuchSetting, {QString::fromUtf8(name)}};
}

ScanProblem Refused(const char* name, SANE_Status status)
{
    return {ScanProblemCode::SettingRefused,
            {QString::fromUtf8(name), QString::fromUtf8(sane_strstatus(status))}};
}

double Unfixed(const SANE_Option_Descriptor* d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

// The nearest value the option's constraint allows; backends differ in whether they round a
// value themselves or refuse it.
double Constrained(const SANE_Option_Descriptor* d, double value)
{
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
        const SANE_Range* r = d->constraint.range;
        const double lo = Unfixed(d, r->min);
        const double hi = Unfixed(d, r->max);
        const double quant = Unfixed(d, r->quant);
        if (quant > 0)
            value = lo + std::round((value - lo) / quant) * quant;
        return std::clamp(value, lo, std::max(lo, hi));
    }
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list &&
        d->constraint.word_list[0] > 0) {
        const SANE_Word* list = d->constraint.word_list;
        double best = Unfixed(d, list[1]);
        for (SANE_Int i = 2; i <= list[0]; ++i) {
            const double v = Unfixed(d, list[i]);
            if (std::abs(v - value) < std::abs(best - value))
                best = v;
        }
        return best;
    }
    return value;
}

std::optional<bool> ParseBool(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"yes" || t == u"true" || t == u"on" || t == u"1")
        return true;
    if (t == u"no" || t == u"false" || t == u"off" || t == u"0")
        return false;
    return std::nullopt;
}

bool InStringList(const SANE_Option_Descriptor* d, const QByteArray& value)
{
    if (d->constraint_type != SANE_CONSTRAINT_STRING_LIST || !d->constraint.string_list)
        return true;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
        if (value == *s)
            return true;
    return false;
}

void RangeOf(const SANE_Option_Descriptor* d, double* lo, double* hi)
{
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
        *lo = Unfixed(d, d->constraint.range->min);
        *hi = Unfixed(d, d->constraint.range->max);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list &&
               d->constraint.word_list[0] > 0) {
        *lo = std::numeric_limits<double>::max();
        *hi = std::numeric_limits<double>::lowest();
        for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i) {
            *lo = std::min(*lo, Unfixed(d, d->constraint.word_list[i]));
            *hi = std::max(*hi, Unfixed(d, d->constraint.word_list[i]));
        }
    } else {
        *lo = 0;
        *hi = 100000;
    }
}

struct ReadingGuard
{
    ScanControl& control;
    ~ReadingGuard() { control.EndReading(); }
};

} // namespace

ScanProblem SaneProblem(SANE_Status status)
{
    const QString word = QString::fromUtf8(sane_strstatus(status));
    switch (int(status)) {
    case SANE_STATUS_CANCELLED:
        return {ScanProblemCode::Cancelled, {}};
    case SANE_STATUS_DEVICE_BUSY:
        return {ScanProblemCode::Busy, {}};
    case SANE_STATUS_EOF:
        return {ScanProblemCode::NoData, {}};
    case SANE_STATUS_JAMMED:
        return {ScanProblemCode::Jammed, {}};
    case SANE_STATUS_NO_DOCS:
        return {ScanProblemCode::NoPaper, {}};
    case SANE_STATUS_COVER_OPEN:
        return {ScanProblemCode::CoverOpen, {}};
    case SANE_STATUS_IO_ERROR:
        return {ScanProblemCode::DeviceError, {word}};
    case SANE_STATUS_NO_MEM:
        return {ScanProblemCode::NoMemory, {}};
    case SANE_STATUS_ACCESS_DENIED:
        return {ScanProblemCode::AccessDenied, {}};
    case kWarmingUp:
        return {ScanProblemCode::LampNotReady, {}};
    case kHardwareLocked:
        return {ScanProblemCode::TransportLocked, {}};
    default:
        return {ScanProblemCode::OtherError, {word}};
    }
}

std::unique_ptr<SaneDevice> SaneDevice::Open(const QString& name, ScanProblem* error)
{
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(name.toUtf8().constData(), &handle);
    if (status == SANE_STATUS_GOOD && handle)
        return std::unique_ptr<SaneDevice>(new SaneDevice(handle));
    // sane_open answers "invalid" for a name no backend knows: unplugged, or mistyped.
    if (status == SANE_STATUS_INVAL || status == SANE_STATUS_GOOD)
        *error = {ScanProblemCode::NotFound, {name}};
    else
        *error = SaneProblem(status);
    return nullptr;
}

SaneDevice::SaneDevice(SANE_Handle handle) : handle_(handle) {}

SaneDevice::~SaneDevice()
{
    sane_close(handle_);
}

const SANE_Option_Descriptor* SaneDevice::Find(const char* name, int* index) const
{
    // Descriptors are fetched afresh each time: setting one option may reload the others, and
    // some backends only accept options whose descriptor was fetched since.
    sane_get_option_descriptor(handle_, 0);
    SANE_Int count = 0;
    if (sane_control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return nullptr;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle_, i);
        if (!d || !d->name || std::strcmp(d->name, name) != 0)
            continue;
        if (!SANE_OPTION_IS_ACTIVE(d->cap) || d->type == SANE_TYPE_GROUP)
            return nullptr;
        *index = i;
        return d;
    }
    return nullptr;
}

bool SaneDevice::SetNumber(const char* name, double value, bool required, ScanProblem* error)
{
    int index = 0;
    const SANE_Option_Descriptor* d = Find(name, &index);
    if (!d || !SANE_OPTION_IS_SETTABLE(d->cap)) {
        if (required)
            *error = NoSuchSetting(name);
        return !required;
    }
    if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size != SANE_Int(sizeof(SANE_Word))) {
        *error = Refused(name, SANE_STATUS_UNSUPPORTED);
        return false;
    }
    value = Constrained(d, value);
    SANE_Word word = d->type == SANE_TYPE_INT ? SANE_Word(std::lround(value)) : SANE_FIX(value);
    const SANE_Status status =
        sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, &word, nullptr);
    if (status != SANE_STATUS_GOOD) {
        *error = Refused(name, status);
        return false;
    }
    return true;
}

bool SaneDevice::SetText(const char* name, const QString& value, ScanProblem* error)
{
    int index = 0;
    const SANE_Option_Descriptor* d = Find(name, &index);
    if (!d || !SANE_OPTION_IS_SETTABLE(d->cap)) {
        *error = NoSuchSetting(name);
        return false;
    }
    SANE_Status status = SANE_STATUS_GOOD;
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        const std::optional<bool> on = ParseBool(value);
        if (!on) {
            *error = Refused(name, SANE_STATUS_INVAL);
            return false;
        }
        SANE_Bool b = *on ? SANE_TRUE : SANE_FALSE;
        status = sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, &b, nullptr);
        break;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok) {
            *error = Refused(name, SANE_STATUS_INVAL);
            return false;
        }
        return SetNumber(name, number, true, error);
    }
    case SANE_TYPE_STRING: {
        const QByteArray utf8 = value.toUtf8();
        if (!InStringList(d, utf8)) {
            *error = {ScanProblemCode::ValueNotOffered, {value, QString::fromUtf8(name)}};
            return false;
        }
        if (d->size <= 0 || utf8.size() >= d->size) {
            *error = Refused(name, SANE_STATUS_INVAL);
            return false;
        }
        std::vector<char> buffer(size_t(d->size), '\0');
        std::memcpy(buffer.data(), utf8.constData(), size_t(utf8.size()));
        status = sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
        break;
    }
    case SANE_TYPE_BUTTON:
        status = sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, nullptr, nullptr);
        break;
    default:
        status = SANE_STATUS_UNSUPPORTED;
        break;
    }
    if (status != SANE_STATUS_GOOD) {
        *error = Refused(name, status);
        return false;
    }
    return true;
}

std::optional<double> SaneDevice::Number(const char* name) const
{
    int index = 0;
    const SANE_Option_Descriptor* d = Find(name, &index);
    if (!d || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size != SANE_Int(sizeof(SANE_Word)))
        return std::nullopt;
    SANE_Word word = 0;
    if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, &word, nullptr) !=
        SANE_STATUS_GOOD)
        return std::nullopt;
    return Unfixed(d, word);
}

QString SaneDevice::Text(const char* name) const
{
    int index = 0;
    const SANE_Option_Descriptor* d = Find(name, &index);
    if (!d || d->type != SANE_TYPE_STRING || d->size <= 0)
        return {};
    std::vector<char> buffer(size_t(d->size) + 1, '\0');
    if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return {};
    return QString::fromUtf8(buffer.data());
}

bool SaneDevice::Apply(const ScanRequest& request, ScanProblem* error)
{
    if (!request.mode.isEmpty() && !SetText(SANE_NAME_SCAN_MODE, request.mode, error))
        return false;
    if (request.depth > 0 && !SetNumber(SANE_NAME_BIT_DEPTH, request.depth, true, error))
        return false;
    if (request.resolution > 0 &&
        !SetNumber(SANE_NAME_SCAN_RESOLUTION, request.resolution, true, error))
        return false;
    if (request.area) {
        int index = 0;
        const bool hasArea = Find(SANE_NAME_SCAN_TL_X, &index) &&
                             Find(SANE_NAME_SCAN_TL_Y, &index) &&
                             Find(SANE_NAME_SCAN_BR_X, &index) && Find(SANE_NAME_SCAN_BR_Y, &index);
        // Twice round: a backend that keeps the top-left corner above and left of the
        // bottom-right one may clamp the first corner against the old second one.
        for (int pass = 0; hasArea && pass < 2; ++pass) {
            if (!SetNumber(SANE_NAME_SCAN_TL_X, request.area->left, true, error) ||
                !SetNumber(SANE_NAME_SCAN_TL_Y, request.area->top, true, error) ||
                !SetNumber(SANE_NAME_SCAN_BR_X, request.area->right, true, error) ||
                !SetNumber(SANE_NAME_SCAN_BR_Y, request.area->bottom, true, error))
                return false;
        }
    }
    for (const auto& [name, value] : request.deviceOptions) {
        if (!SetText(name.toUtf8().constData(), value, error))
            return false;
    }
    return true;
}

ScannerCapabilities SaneDevice::Capabilities() const
{
    ScannerCapabilities caps;
    int index = 0;
    if (const SANE_Option_Descriptor* d = Find(SANE_NAME_SCAN_MODE, &index);
        d && d->type == SANE_TYPE_STRING) {
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list)
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
                caps.modes << QString::fromUtf8(*s);
        caps.mode = Text(SANE_NAME_SCAN_MODE);
        if (caps.modes.isEmpty() && !caps.mode.isEmpty())
            caps.modes << caps.mode;
    }
    if (const SANE_Option_Descriptor* d = Find(SANE_NAME_BIT_DEPTH, &index)) {
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i)
                caps.depths << int(Unfixed(d, d->constraint.word_list[i]));
        } else {
            double lo = 0, hi = 0;
            RangeOf(d, &lo, &hi);
            for (int depth : {1, 8, 16})
                if (depth >= lo && depth <= hi)
                    caps.depths << depth;
        }
        caps.depth = int(Number(SANE_NAME_BIT_DEPTH).value_or(0));
    }
    if (const SANE_Option_Descriptor* d = Find(SANE_NAME_SCAN_RESOLUTION, &index)) {
        caps.hasResolution = true;
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i)
                caps.resolutions << Unfixed(d, d->constraint.word_list[i]);
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            caps.resolutionStep = Unfixed(d, d->constraint.range->quant);
        }
        RangeOf(d, &caps.resolutionMin, &caps.resolutionMax);
        caps.resolution = Number(SANE_NAME_SCAN_RESOLUTION).value_or(0);
    }
    const SANE_Option_Descriptor* tlx = Find(SANE_NAME_SCAN_TL_X, &index);
    const SANE_Option_Descriptor* tly = Find(SANE_NAME_SCAN_TL_Y, &index);
    const bool hasBr = Find(SANE_NAME_SCAN_BR_X, &index) && Find(SANE_NAME_SCAN_BR_Y, &index);
    if (tlx && tly && hasBr) {
        caps.hasArea = true;
        caps.areaInPixels = tlx->unit == SANE_UNIT_PIXEL;
        RangeOf(tlx, &caps.xMin, &caps.xMax);
        RangeOf(tly, &caps.yMin, &caps.yMax);
        caps.area.left = Number(SANE_NAME_SCAN_TL_X).value_or(caps.xMin);
        caps.area.top = Number(SANE_NAME_SCAN_TL_Y).value_or(caps.yMin);
        caps.area.right = Number(SANE_NAME_SCAN_BR_X).value_or(caps.xMax);
        caps.area.bottom = Number(SANE_NAME_SCAN_BR_Y).value_or(caps.yMax);
    }
    return caps;
}

SANE_Status SaneDevice::Start(ScanControl& control)
{
    const auto since = std::chrono::steady_clock::now();
    for (;;) {
        const SANE_Status status = sane_start(handle_);
        if (int(status) != kWarmingUp || control.Cancelled() ||
            std::chrono::steady_clock::now() - since > kWarmUpLimit)
            return status;
        control.StillStarting();
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

bool SaneDevice::ReadFrame(ScanControl& control, int frameIndex, bool* lastFrame,
                           ScanProblem* error)
{
    if (!control.BeginReading(handle_)) {
        *error = Cancelled();
        return false;
    }
    const ReadingGuard guard{control};

    SANE_Parameters p = {};
    const SANE_Status status = sane_get_parameters(handle_, &p);
    if (status != SANE_STATUS_GOOD) {
        *error = SaneProblem(status);
        return false;
    }
    FrameLayout layout;
    switch (p.format) {
    case SANE_FRAME_GRAY:
        layout.kind = FrameKind::Gray;
        break;
    case SANE_FRAME_RGB:
        layout.kind = FrameKind::Rgb;
        break;
    case SANE_FRAME_RED:
        layout.kind = FrameKind::Red;
        break;
    case SANE_FRAME_GREEN:
        layout.kind = FrameKind::Green;
        break;
    case SANE_FRAME_BLUE:
        layout.kind = FrameKind::Blue;
        break;
    default:
        *error = Unreadable();
        return false;
    }
    if (p.bytes_per_line <= 0 || p.pixels_per_line <= 0) {
        *error = Unreadable();
        return false;
    }
    layout.depth = p.depth;
    layout.pixelsPerLine = p.pixels_per_line;
    layout.bytesPerLine = p.bytes_per_line;
    layout.lines = p.lines >= 0 ? p.lines : -1;
    layout.lastFrame = p.last_frame != SANE_FALSE;
    *lastFrame = layout.lastFrame;

    const int64_t expected = p.lines >= 0 ? int64_t(p.lines) * p.bytes_per_line : -1;
    if (expected > kMaxFrameBytes) {
        *error = TooLarge();
        return false;
    }
    control.FrameBegins(layout, frameIndex);

    std::vector<uint8_t> chunk(kReadChunk);
    int64_t done = 0;
    for (;;) {
        SANE_Int length = 0;
        const SANE_Status read = sane_read(handle_, chunk.data(), SANE_Int(chunk.size()), &length);
        // After a cancel the backend may answer anything, end of data included.
        if (control.Cancelled()) {
            *error = Cancelled();
            return false;
        }
        if (read == SANE_STATUS_EOF)
            break;
        if (read != SANE_STATUS_GOOD) {
            *error = SaneProblem(read);
            return false;
        }
        if (length <= 0) {
            // Nothing yet; no busy loop while the device gathers its next lines.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        int64_t take = std::min<int64_t>(length, int64_t(chunk.size()));
        if (expected >= 0)
            take = std::min<int64_t>(take, expected - done);
        if (done + take > kMaxFrameBytes) {
            *error = TooLarge();
            return false;
        }
        if (take > 0)
            control.FrameData(chunk.data(), size_t(take));
        done += take;
    }
    control.FrameEnds();
    return true;
}

bool SaneDevice::ReadFrames(ScanControl& control, ScanProblem* error)
{
    for (int index = 0;; ++index) {
        if (control.Cancelled()) {
            *error = Cancelled();
            return false;
        }
        const SANE_Status status = Start(control);
        if (status != SANE_STATUS_GOOD) {
            *error = control.Cancelled() ? Cancelled() : SaneProblem(status);
            return false;
        }
        bool last = true;
        if (!ReadFrame(control, index, &last, error))
            return false;
        if (last)
            return true;
        // Red, green and blue are all a frontend can be asked to put together.
        if (index >= 2) {
            *error = Unreadable();
            return false;
        }
    }
}

void SaneDevice::Scan(ScanControl& control)
{
    ScanProblem error;
    const bool complete = ReadFrames(control, &error);
    control.Outcome(complete, error);
    // Complete or not, sane_cancel ends the device's scan cycle, as SANE asks.
    sane_cancel(handle_);
}
