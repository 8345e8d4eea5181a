// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// What the command line asked for; the main window copies it into the program state before it
// builds its pages.
struct TStartOptions
{
    // Administrator mode: the administration pages are reachable from each token's subtree and the
    // system information page shows its administrator actions.
    bool admin = false;
    // A PKCS#11 module to drive instead of the library's default; empty keeps the default.
    QString modulePath;
};
