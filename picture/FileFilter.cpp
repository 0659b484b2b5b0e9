// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileFilter.h"

#include "FileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

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

std::vector<DriveEntry> DrivesFromMounts(const QString& mountsText)
{
    std::vector<DriveEntry> drives{{QStringLiteral("/"), QStringLiteral("/")}};
    static const QString systemRoots[] = {QStringLiteral("/proc"),    QStringLiteral("/sys"),
                                          QStringLiteral("/dev"),     QStringLiteral("/run"),
                                          QStringLiteral("/boot"),    QStringLiteral("/snap"),
                                          QStringLiteral("/var/lib"), QStringLiteral("/etc")};
    static const QString networkTypes[] = {QStringLiteral("nfs"), QStringLiteral("nfs4"),
                                           QStringLiteral("cifs"), QStringLiteral("smb3"),
                                           QStringLiteral("fuse.sshfs")};
    for (const QString& line : mountsText.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 3)
            continue;
        const QString source = Unescape(fields[0]);
        const QString mountPoint = Unescape(fields[1]);
        const bool onDevice = source.startsWith(QLatin1String("/dev/"));
        bool network = false;
        for (const QString& type : networkTypes)
            network = network || fields[2] == type;
        if (!onDevice && !network)
            continue;
        bool system = false;
        for (const QString& root : systemRoots)
            system = system || mountPoint == root || mountPoint.startsWith(root + u'/');
        if (system && !mountPoint.startsWith(QLatin1String("/run/media/")))
            continue;
        bool known = false;
        for (const DriveEntry& d : drives)
            known = known || d.path == mountPoint;
        if (!known)
            drives.push_back({mountPoint, mountPoint});
    }
    return drives;
}

std::vector<DriveEntry> ListDrives()
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    QString text;
    if (mounts.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(mounts.readAll());
    std::vector<DriveEntry> drives;
    // A file mounted over another (as containers do with /etc/hosts) is no place to browse.
    for (const DriveEntry& drive : DrivesFromMounts(text))
        if (QFileInfo(drive.path).isDir())
            drives.push_back(drive);
    return drives;
}

int VolumeHolding(const std::vector<DriveEntry>& drives, const QString& path)
{
    int best = -1;
    for (int i = 0; i < int(drives.size()); ++i) {
        const QString& root = drives[i].path;
        const bool holds = path == root || root == QLatin1String("/") ||
                           path.startsWith(root.endsWith(u'/') ? root : root + u'/');
        if (holds && (best < 0 || root.size() > drives[best].path.size()))
            best = i;
    }
    return best;
}

std::vector<DirectoryLine> DirectoryLines(const QString& volumeRoot, const QString& directory,
                                          const QStringList& subfolders)
{
    std::vector<DirectoryLine> lines{{volumeRoot, volumeRoot, 0, true}};
    QString below = directory.mid(volumeRoot.size());
    QString path = volumeRoot;
    for (const QString& name : below.split(u'/', Qt::SkipEmptyParts)) {
        path = path.endsWith(u'/') ? path + name : path + u'/' + name;
        lines.push_back({name, path, int(lines.size()), true});
    }
    const int inner = int(lines.size());
    for (const QString& name : subfolders)
        lines.push_back(
            {name, path.endsWith(u'/') ? path + name : path + u'/' + name, inner, false});
    return lines;
}

QString FileFromDrop(const QMimeData& data)
{
    if (!data.hasUrls() || data.urls().isEmpty())
        return QString();
    // By the name's bytes: a file whose name is not UTF-8 opens as well.
    const QString file = FileNameFromUrl(data.urls().constFirst());
    return !file.isEmpty() && IsRegularFileName(file) ? AbsoluteFileName(file) : QString();
}
