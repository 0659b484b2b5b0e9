#include "FileFilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool Glob(const QString& name, qsizetype n, const QString& mask, qsizetype m)
{
    while (m < mask.size()) {
        const QChar c = mask[m];
        if (c == u'*') {
            for (qsizetype k = n; k <= name.size(); ++k)
                if (Glob(name, k, mask, m + 1))
                    return true;
            return false;
        }
        if (n >= name.size())
            return false;
        if (c != u'?' && c.toCaseFolded() != name[n].toCaseFolded())
            return false;
        ++n;
        ++m;
    }
    return n == name.size();
}

// The mount table writes blanks and other separators as three octal digits after '\'.
QString Unescape(const QString& field)
{
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

std::vector<FilterEntry> ParseFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    std::vector<FilterEntry> entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.push_back({parts[i], parts[i + 1].split(u';', Qt::SkipEmptyParts)});
    return entries;
}

bool MatchesMasks(const QString& fileName, const QStringList& masks)
{
    for (const QString& mask : masks)
        if (mask == QLatin1String("*.*") || Glob(fileName, 0, mask, 0))
            return true;
    return false;
}

std::vector<DriveEntry> DrivesFromMounts(const QString& mountsText, const QString& homePath)
{
    std::vector<DriveEntry> drives{{QStringLiteral("/"), QStringLiteral("/")}};
    if (!homePath.isEmpty() && homePath != QLatin1String("/"))
        drives.push_back({QStringLiteral("Home"), homePath});
    static const QString removableRoots[] = {QStringLiteral("/media/"), QStringLiteral("/mnt/"),
                                             QStringLiteral("/run/media/")};
    for (const QString& line : mountsText.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        const QString mountPoint = Unescape(fields[1]);
        bool removable = false;
        for (const QString& root : removableRoots)
            removable =
                removable || (mountPoint.startsWith(root) && mountPoint.size() > root.size());
        if (!removable)
            continue;
        bool known = false;
        for (const DriveEntry& d : drives)
            known = known || d.path == mountPoint;
        if (!known)
            drives.push_back({QFileInfo(mountPoint).fileName(), mountPoint});
    }
    return drives;
}

std::vector<DriveEntry> ListDrives()
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    QString text;
    if (mounts.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(mounts.readAll());
    return DrivesFromMounts(text, QDir::homePath());
}
