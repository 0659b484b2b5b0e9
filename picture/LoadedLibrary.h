// SPDX-License-Identifier: GPL-3.0-or-later
// Libraries opened when first needed rather than as the program starts. libvips, and SDL with
// SDL_image, bring some eighty libraries with them whose loading took more than half of every
// start, while most runs need neither.
#pragma once

#include <QString>

// The library of that file name, opened for the rest of the process; null, with the loader's
// reason in *error, when it cannot be.
void* OpenLibrary(const char* fileName, QString* error);

void* FindSymbol(void* library, const char* name, QString* error);

// The library's function of that name, typed as `function`; false, with the reason in *error,
// when the library has none.
template <typename F>
bool FindFunction(void* library, const char* name, F*& function, QString* error)
{
    function = reinterpret_cast<F*>(FindSymbol(library, name, error));
    return function != nullptr;
}
