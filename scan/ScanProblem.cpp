// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanProblem.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("ScanProblem", text);
}

} // namespace

int ScanProblemDetails(ScanProblemCode code)
{
    switch (code) {
    case ScanProblemCode::DeviceError:
    case ScanProblemCode::OtherError:
    case ScanProblemCode::NotFound:
    case ScanProblemCode::NoSuchSetting:
    case ScanProblemCode::LibraryNotStarted:
        return 1;
    case ScanProblemCode::SettingRefused:
    case ScanProblemCode::ValueNotOffered:
        return 2;
    default:
        return 0;
    }
}

QString ScanProblemText(const ScanProblem& p)
{
    const QString first = p.details.value(0);
    const QString second = p.details.value(1);
    switch (p.code) {
    case ScanProblemCode::Cancelled:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scan was cancelled."));
    case ScanProblemCode::Busy:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner is busy."));
    case ScanProblemCode::NoData:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner sent no picture data."));
    case ScanProblemCode::Jammed:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner is jammed."));
    case ScanProblemCode::NoPaper:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "There is no paper in the scanner."));
    case ScanProblemCode::CoverOpen:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner's cover is open."));
    case ScanProblemCode::DeviceError:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner stopped with an error: %1."))
            .arg(first);
    case ScanProblemCode::NoMemory:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "There is not enough memory to scan."));
    case ScanProblemCode::AccessDenied:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "Access to the scanner was denied."));
    case ScanProblemCode::LampNotReady:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner's lamp did not get ready."));
    case ScanProblemCode::TransportLocked:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner is locked for transport."));
    case ScanProblemCode::OtherError:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner reported an error: %1."))
            .arg(first);
    case ScanProblemCode::NotFound:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner \"%1\" was not found.")).arg(first);
    case ScanProblemCode::NoSuchSetting:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner has no setting \"%1\"."))
            .arg(first);
    case ScanProblemCode::SettingRefused:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner refused the setting \"%1\" (%2)."))
            .arg(first, second);
    case ScanProblemCode::ValueNotOffered:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanner does not offer \"%1\" for \"%2\"."))
            .arg(first, second);
    case ScanProblemCode::Unreadable:
        return Tr(QT_TRANSLATE_NOOP(
            "ScanProblem", "The scanner sent a picture in a form this program can't read."));
    case ScanProblemCode::TooLarge:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "The scanned picture would be too large."));
    case ScanProblemCode::NoScanner:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem", "No scanner found"));
    case ScanProblemCode::LibraryNotStarted:
        return Tr(QT_TRANSLATE_NOOP("ScanProblem",
                                    "The scanner library could not be started (%1)."))
            .arg(first);
    }
    return QString();
}
