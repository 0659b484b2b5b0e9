// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a picture file with the reason when it can't be read. OpenDib reads the same way and
// keeps only the record.
#pragma once

#include "GrafikRW.h"

#include <QByteArray>

#include <cstdint>
#include <string>
#include <string_view>

enum class ReadFailure
{
    None,
    NoSuchFile,
    Folder,
    NotReadable,    // no permission, or the read itself failed
    NotRegularFile, // a FIFO, a device or a socket: refused before anything is read
    NotAPicture,    // empty, or no type this library reads
    Damaged, // broken, cut short (also while it was read), or claiming more than its bytes can hold
    TooLarge // above the largest picture, or more than the memory there is
};

struct PictureRead
{
    PictureRecord picture; // null Bits unless failure is None
    ReadFailure failure = ReadFailure::None;
    int64_t claimedWidth = 0; // what the file's header claims, when it was read that far
    int64_t claimedHeight = 0;
    uint64_t neededBytes = 0;     // TooLarge: the memory the read would take (the file's bytes
                                  // alone when no claim was weighed)
    uint64_t availableBytes = 0;  // TooLarge: the memory the process could have for it
    uint64_t fileBytes = 0;       // the file's size, once it was opened
    bool claimBeyondFile = false; // Damaged: the claim is more than the file's bytes can hold
    std::string claimFault;       // Damaged: what is wrong with the header, when that is known
    int systemError = 0;          // NotReadable: the system's reason (an errno value)
    // Read: why the file's colour profile was left out ("damaged", "an RGB profile on a grey
    // picture"); empty when it had none or it was kept.
    std::string profileNote;
    // Read, when asked for: the file's bytes, for a JPEG, which a document can carry as they are.
    QByteArray jpegBytes;
};

// keepJpegBytes: a JPEG's bytes come back in jpegBytes, so that whoever keeps them need not read
// the file a second time.
PictureRead ReadPictureFile(const char* fileName, bool keepJpegBytes = false);

// Whether a JPEG file's bytes would be read as a picture: its header passes the checks a read
// makes before decoding, and its data decodes with no error and no damage warning. It is
// decoded at an eighth of its size, its rows thrown away, so that the check costs little time
// and, unless the file is progressive, hardly any memory.
bool JpegDataReads(const uint8_t* data, size_t size);

// A file's bytes, read whole into memory of its own: a regular file only, opened without
// blocking, and only when it starts with mustStartWith. failure is None, NoSuchFile, Folder,
// NotReadable, NotRegularFile, NotAPicture (empty, or another start), TooLarge (more than the
// memory there is) or Damaged (it ended before the size it had when opened).
struct WholeFile
{
    QByteArray bytes;
    ReadFailure failure = ReadFailure::None;
    int systemError = 0;
    uint64_t size = 0;      // the file's size when it was opened
    uint64_t available = 0; // the memory the process could have before the bytes were read
};
WholeFile ReadWholeFile(const char* fileName, std::string_view mustStartWith = {});

// Why the file was not read, as one line without the file's name ("no such file", "damaged or
// cut short", "too large: ..."); empty when it was read.
std::string ReadFailureText(const PictureRead& read);
