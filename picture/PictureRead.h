// Reading a picture file with the reason when it can't be read. OpenDib reads the same way and
// keeps only the record.
#pragma once

#include "GrafikRW.h"

#include <cstdint>
#include <string>

enum class ReadFailure
{
    None,
    NoSuchFile,
    Folder,
    NotReadable, // no permission, not a regular file, or the read itself failed
    NotAPicture, // empty, or no type this library reads
    Damaged,     // broken, cut short, or claiming more than its bytes can hold
    TooLarge     // above the largest picture, or more than the memory there is
};

struct PictureRead
{
    PictureRecord picture; // null Bits unless failure is None
    ReadFailure failure = ReadFailure::None;
    int64_t claimedWidth = 0; // what the file's header claims, when it was read that far
    int64_t claimedHeight = 0;
    uint64_t neededBytes = 0;     // TooLarge: the memory the read would take
    uint64_t availableBytes = 0;  // TooLarge: the memory the process could have for it
    uint64_t fileBytes = 0;       // the file's size, once it was opened
    bool claimBeyondFile = false; // Damaged: the claim is more than the file's bytes can hold
    int systemError = 0;          // NotReadable: the system's reason (an errno value)
    // Read: why the file's colour profile was left out ("damaged", "an RGB profile on a grey
    // picture"); empty when it had none or it was kept.
    std::string profileNote;
};

PictureRead ReadPictureFile(const char* fileName);

// Why the file was not read, as one line without the file's name ("no such file", "damaged or
// cut short", "too large: ..."); empty when it was read.
std::string ReadFailureText(const PictureRead& read);
