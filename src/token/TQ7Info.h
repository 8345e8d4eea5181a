// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the token manager library tells about one connected token. ReadTokenInfo fills everything
// except the container list, which LoadContainerNames fills.
struct TQ7Info
{
    // The container list holds at most this many names; further containers are not listed.
    static constexpr qsizetype MaxContainerNames = 65;
    static constexpr qint32 MemoryUnknown = -1;

    QString SerialNumber; // its first 16 characters identify the token to the SKF side
    QString Label;        // decoded from UTF-8
    QString Manufacturer;
    QString Model;
    qint32 MaxPinLen = 0;
    qint32 MinPinLen = 0;
    qint32 MaxSoPinLen = 0;
    qint32 MinSoPinLen = 0;
    qint32 TotalMemory = 0;     // bytes; MemoryUnknown when the token does not tell
    qint32 FreeMemory = 0;      // bytes; MemoryUnknown when the token does not tell
    qint32 HardwareVersion = 0; // major * 256 + minor
    qint32 FirmwareVersion = 0; // major * 256 + minor
    qint32 Initialized = 0;     // 0 = not initialized
    qint32 ContainerCount = 0;  // always ContainerNames.size()
    QStringList ContainerNames; // in library order, at most MaxContainerNames
    qint32 FingerSupport = 0;   // > 0 = the token has a fingerprint sensor

    // What the token can do beyond the calls every token answers. Pages disable what a token can never
    // do; a token that cannot tell is taken to do everything, and its calls report their own status.
    enum Feature : quint32
    {
        SetLabel = 0x01,
        RemoteUnlock = 0x02,
        Sectors = 0x04,
        ExactRetries = 0x08,
        AllFeatures = 0x0F
    };
    quint32 Features = AllFeatures;
    bool can(Feature f) const { return (Features & f) != 0; }
};
