// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>

// The initialization defaults: what the initialization page is prefilled with and what it writes
// back after a successful initialization, kept in Initconfig.ini, section InitData.
struct TInitDefaults
{
    static constexpr const char* FileName = "Initconfig.ini";
    static constexpr int RecordSize = 166;
    static constexpr int TextField = 32;
    static constexpr int MaxLabelBytes = 31;

    QString LabelName;
    QString manufacture;
    QString Issuer;
    QString default_sopin;
    QString default_upin;
    qint32 uPinRetryTimes = 10;
    qint32 soPinRetryTimes = 10;
    qint32 minUPINLen = 4;
    qint32 maxUPINLen = 32;
    qint32 minSOPINLen = 4;
    qint32 maxSOPINLen = 32;
    QString ISOFile;
    qint32 F_AdminRetryTimes = 10;
    qint32 F_AdminLevel = 1;
    qint32 F_UserRetryTimes = 10;
    qint32 F_UserLevel = 1;

    // Where the file is read from: the application folder's copy, unless that folder cannot be
    // written and the settings folder holds one (written there by an earlier initialization).
    static QString readPath();
    // Where it is written: the application folder when it can be written, else the settings folder.
    static QString writePath();

    // False, leaving the record as it was, when the file is missing or cannot be read. Missing or
    // non-numeric keys take the defaults above.
    bool read(const QString& path);
    // Writes all sixteen keys in record order. The file holds PINs: it is saved readable by its
    // owner only, through a temporary file renamed in its own folder (a link there is replaced,
    // its target never touched). False when the file could not be saved.
    bool write(const QString& path) const;

    // The 166-byte parameter record of the token's format call: zero-filled, each text in front of
    // its 32-byte field (the label in UTF-8, the others in the system code page, cut at a character
    // boundary so that no field spills into the next), then the six counts and lengths as bytes.
    QByteArray formatRecord() const;
};
