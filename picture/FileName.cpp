// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileName.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + the byte, 0x80..0xFF

// The length of the UTF-8 character at the start of `bytes` and its code point; 0 when the
// bytes there are not one (overlong, a surrogate, beyond U+10FFFF, cut short).
int Utf8Character(const unsigned char* bytes, qsizetype left, char32_t* code)
{
    const unsigned char lead = bytes[0];
    int length = 0;
    char32_t value = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

} // namespace

QString FileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        const int length = Utf8Character(data + i, bytes.size() - i, &code);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + data[i]));
            ++i;
            continue;
        }
        const char32_t one[] = {code};
        name += QString::fromUcs4(one, 1);
        i += length;
    }
    return name;
}

QByteArray FileNameBytes(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        if (end > runStart)
            bytes += QStringView(name).mid(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            flush(i);
            bytes += char(unit - kEscapeBase);
            runStart = i + 1;
        }
    }
    flush(name.size());
    return bytes;
}

QString FileNameText(const QString& name)
{
    QString text;
    text.reserve(name.size());
    for (const QChar c : name) {
        const char16_t unit = c.unicode();
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF)
            text += QString::asprintf("\\x%02X", unsigned(unit - kEscapeBase));
        else
            text += c;
    }
    return text;
}

QString FileNameFromUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // The path still percent-encoded holds the name's bytes exactly; toLocalFile would decode
    // them as UTF-8 and lose the others.
    return FileNameFromBytes(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool OpenForReading(QFile& file, const QString& name)
{
    const int fd = ::open(FileNameBytes(name).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        file.setFileName(name);
        // Let QFile give its own words for the error, from the same errno.
        errno = error;
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

QString AbsoluteFileName(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    const QString folder = WorkingFolder();
    if (folder.isEmpty())
        return name;
    return folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
}

bool IsRegularFileName(const QString& name)
{
    struct stat info = {};
    return ::stat(FileNameBytes(name).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

namespace {

// The entries of the folder (links followed) whose kind the test takes, by their bytes, in no
// order; "." and ".." are left out.
template <typename Take>
QStringList NamesIn(const QString& folder, Take take)
{
    QStringList names;
    const QByteArray path = FileNameBytes(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return names;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat info = {};
        if (entry->d_name[0] == '.' &&
            (entry->d_name[1] == 0 || (entry->d_name[1] == '.' && entry->d_name[2] == 0)))
            continue;
        if (::fstatat(fd, entry->d_name, &info, 0) == 0 && take(entry->d_name, info.st_mode))
            names << FileNameFromBytes(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

QStringList FileNamesIn(const QString& folder)
{
    return NamesIn(folder, [](const char*, mode_t mode) { return S_ISREG(mode); });
}

QStringList FolderNamesIn(const QString& folder)
{
    return NamesIn(folder,
                   [](const char* name, mode_t mode) { return S_ISDIR(mode) && name[0] != '.'; });
}

bool IsFolderName(const QString& name)
{
    struct stat info = {};
    return ::stat(FileNameBytes(name).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString WorkingFolder()
{
    char* here = ::getcwd(nullptr, 0);
    if (!here)
        return {};
    const QString folder = FileNameFromBytes(here);
    std::free(here);
    return folder;
}

bool EnterFolder(const QString& name)
{
    const QByteArray path = FileNameBytes(name);
    return ::access(path.constData(), R_OK | X_OK) == 0 && ::chdir(path.constData()) == 0;
}
