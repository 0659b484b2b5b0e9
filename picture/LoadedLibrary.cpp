// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoadedLibrary.h"

#include <dlfcn.h>

namespace {

QString LoaderError()
{
    const char* why = dlerror();
    return why ? QString::fromLocal8Bit(why) : QString();
}

} // namespace

void* OpenLibrary(const char* fileName, QString* error)
{
    // Its functions are found now, so that a missing one fails here and not in a call.
    void* library = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!library && error)
        *error = LoaderError();
    return library;
}

void* FindSymbol(void* library, const char* name, QString* error)
{
    dlerror();
    void* symbol = library ? dlsym(library, name) : nullptr;
    if (!symbol && error)
        *error = library ? LoaderError() : QString::fromLatin1(name);
    return symbol;
}
