// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QtGlobal>

// The per-user settings read from MgrConfig.ini. Callers zero it before reading; fields the reader
// did not reach keep what the caller put there.
struct TConfigInfo
{
    qint32 OpenMode = 0;    // 1: open URL after every device-started refresh that succeeds
    QString URL;            // web address or document
    qint32 BrowserMode = 0; // 0: system handler; other: the browser program
    qint32 CertDayMode = 0;
    qint32 CertDay = 0;
    qint32 LanguageID = 0; // 1033 English, anything else Chinese
    qint32 DefaultPIN = 0; // 1 when the element is missing or empty
    QString PKCS11Module;  // a PKCS#11 module to drive instead of the default; empty keeps the default
};
