// SPDX-License-Identifier: GPL-3.0-or-later
// What the programs say about themselves besides their version.
#pragma once

// The lines --version prints after the version, as GNU programs do.
inline constexpr const char* kLicenceNotice =
    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";
