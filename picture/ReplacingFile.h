// SPDX-License-Identifier: GPL-3.0-or-later
// A file written whole, by its name's bytes: under a temporary name in its folder, synced and
// renamed over the old one only by commit(), so that a failure, a stop or a crash leaves a file
// of that name as it was. A name that is a device or a pipe is written straight to: it holds no
// file to keep, and a rename would take the device away. Failures are told in the system's
// words ("No space left on device", "Permission denied", "Is a directory").
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <functional>

class ReplacingFile : public QIODevice
{
public:
    explicit ReplacingFile(const QByteArray& name);
    ~ReplacingFile() override; // a temporary file not committed is removed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False with errorString() when the file can't be made.
    bool open();
    // Writes out what is buffered and syncs it, then, unless stopped() says otherwise, renames
    // it over the old file. False with errorString() when any of it failed or it was stopped;
    // the old file is then as it was.
    bool commit(const std::function<bool()>& stopped = {});
    void cancel();

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool Fail(int error);
    bool WriteAll(const char* data, qint64 size);
    bool WriteOut();
    bool Finish();

    QByteArray name_;
    QByteArray temporary_; // empty: written straight to
    int fd_ = -1;
    QByteArray buffer_;
    bool failed_ = false;
};

// Files a run has begun and not finished (a save's or a document's temporary file, a job's
// spool file), for a program that must end at once on a signal: it removes them first.
void RegisterUnfinishedFile(const QByteArray& name);
void ForgetUnfinishedFile(const QByteArray& name);
void RemoveUnfinishedFiles();
