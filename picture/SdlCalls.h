// SPDX-License-Identifier: GPL-3.0-or-later
// The calls of SDL and SDL_image that the picture readers make, found when the first picture
// read through them is read.
#pragma once

#include <SDL.h>
#include <SDL_image.h>

struct SdlCalls
{
    decltype(&SDL_AllocRW) AllocRW = nullptr;
    decltype(&SDL_FreeRW) FreeRW = nullptr;
    decltype(&SDL_RWclose) RWclose = nullptr;
    decltype(&SDL_SetError) SetError = nullptr;
    decltype(&SDL_FreeSurface) FreeSurface = nullptr;
    decltype(&SDL_LockSurface) LockSurface = nullptr;
    decltype(&SDL_UnlockSurface) UnlockSurface = nullptr;
    decltype(&SDL_ConvertPixels) ConvertPixels = nullptr;
    decltype(&SDL_malloc) malloc = nullptr;
    decltype(&SDL_calloc) calloc = nullptr;
    decltype(&SDL_realloc) realloc = nullptr;
    decltype(&SDL_free) free = nullptr;
    decltype(&IMG_LoadBMP_RW) LoadBMP = nullptr;
    decltype(&IMG_LoadTGA_RW) LoadTGA = nullptr;
    decltype(&IMG_LoadPCX_RW) LoadPCX = nullptr;
    decltype(&IMG_LoadLBM_RW) LoadLBM = nullptr;
    decltype(&IMG_LoadPNM_RW) LoadPNM = nullptr;
    decltype(&IMG_LoadQOI_RW) LoadQOI = nullptr;
    decltype(&IMG_LoadWEBP_RW) LoadWEBP = nullptr;
};

// SDL and SDL_image, opened once, SDL's allocator replaced by the decoders' budget before SDL
// allocates anything; null when either cannot be opened or lacks a call.
const SdlCalls* Sdl();
