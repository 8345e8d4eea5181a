#pragma once

#include "CertInfo.h"

#include <QDialog>

// Our own certificate viewer: general facts, the extensions and the fingerprints of one certificate.
class CertViewerDialog : public QDialog
{
    Q_OBJECT
public:
    CertViewerDialog(const CertInfo& info, QWidget* parent = nullptr);

    // Shows the viewer modal to the native window `window` (0: the active window). Returns a library status:
    // TM_ERR_NO_UI in a process without a widget application, TM_ERR_CERTIFICATE for bytes that are not one.
    static quint32 showModal(uintptr_t window, const QByteArray& der);
};
