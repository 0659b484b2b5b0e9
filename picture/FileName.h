// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the system has them: bytes. A name that is not UTF-8 (a file from an old
// Latin-1 disk, a camera, an archive) still has to be read, written and shown.
//
// Such a name is carried in a QString with every byte that is no part of a UTF-8 character as a
// lone surrogate U+DC80..U+DCFF, which no decoded text holds, so that it turns back into the
// same bytes. Qt's own calls that take a name (QFile, QFileInfo, QSaveFile) would turn those
// into replacement characters: a carried name reaches the system only through FileNameBytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QUrl>

class QFile;

QString FileNameFromBytes(QByteArrayView bytes);
QByteArray FileNameBytes(const QString& name);

// The name for a message: its text, with each byte that is not UTF-8 as \xHH.
QString FileNameText(const QString& name);

// The name of a local file URL (a drop, "Open with"), its bytes kept; empty for another URL.
QString FileNameFromUrl(const QUrl& url);

// The name made absolute against the working folder, by bytes (QFileInfo would decode the
// folder's name as UTF-8).
QString AbsoluteFileName(const QString& name);
// Whether the name is a regular file, following links, by its bytes.
bool IsRegularFileName(const QString& name);
// The regular files in the folder (links followed), by their bytes, in no order.
QStringList FileNamesIn(const QString& folder);
// The folders in the folder (links followed) but hidden ones, by their bytes, in no order.
QStringList FolderNamesIn(const QString& folder);
// Whether the name is a folder, following links, by its bytes.
bool IsFolderName(const QString& name);

// The process's working folder by its bytes; empty when it can't be named (it was removed).
QString WorkingFolder();
// Makes the named folder, when it can be read, the working one, by its bytes.
bool EnterFolder(const QString& name);

// Opens the named file for reading by its bytes; false with the file's errorString().
bool OpenForReading(QFile& file, const QString& name);

// The system's words for errno (strerror), as the messages quote them.
QString SystemErrorText(int error);
