// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "token/KeySpec.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// One certificate to write: which file entry goes into which container of which token. A worker gets
// its own copy, so nothing the window does can change it under a running worker.
struct ImportJob
{
    // The file kinds the import dialog tells apart by the file name's extension.
    enum Kind
    {
        Pkcs12 = 0,
        X509 = 1,
        Pkcs7 = 2
    };

    Kind kind = Pkcs12;
    qint32 slot = 0;
    KeySpec keySpec = KeySpec::Exchange;
    qint32 index = 0;     // the certificate's position in the parsed file
    QString path;         // the file, for single certificates read by path
    QString container;    // target container name
    QStringList existing; // the token's container names when the job was made
};
