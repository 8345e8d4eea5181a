// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QDialog>

class QByteArray;
struct TQ7CertInfo;

// The tool's certificate viewer: general facts, the extensions and the fingerprints of one
// certificate, in the catalog's language.
class TCertViewer : public QDialog
{
    Q_OBJECT
public:
    // `facts` is what the library read from `der` (names, version, serial).
    TCertViewer(const TQ7CertInfo& facts, const QByteArray& der, QWidget* parent = nullptr);

    // Shows the viewer modal to the native window `owner` (0: the active window). Bytes that are not
    // one certificate are refused with the library's status before anything opens.
    static quint32 showModal(quintptr owner, const QByteArray& der);
};
