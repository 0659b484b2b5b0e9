// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzzers hand their input to the programs' readers as a file, as a user would: one
// memory-backed file per process, refilled for each input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

inline int InputFile()
{
    static const int fd = [] {
        const int made = memfd_create("velmora-fuzz", MFD_CLOEXEC);
        if (made < 0)
            std::abort(); // without it there is nothing to fuzz
        return made;
    }();
    return fd;
}

inline bool Fill(int fd, const uint8_t* data, size_t size)
{
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0)
        return false;
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}
