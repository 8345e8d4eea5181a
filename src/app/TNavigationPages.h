// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "app/PageId.h"

#include <QString>
#include <QtGlobal>

// What the navigation asks of the window's pages. The main window carries it out; tests record it.
class TNavigationPages
{
public:
    virtual ~TNavigationPages() = default;

    virtual void showPage(PageId page) = 0;
    // System page: build the host report.
    virtual void buildSystemReport() = 0;
    // Make current the SKF application of the token with this serial number.
    virtual void matchSkfApplication(const QString& serialNumber) = 0;
    // Key information page: read the token again and list its properties.
    virtual void showKeyInfo(int token) = 0;
    // Token label page: the label into the name field.
    virtual void setKeyLabel(const QString& label) = 0;
    // Certificate page: load the tree and re-evaluate the certificate actions.
    virtual void loadCertificates() = 0;
    // Login page: the token's label, the fingerprint buttons for the user PIN, and the PIN field
    // focused shortly after.
    virtual void prepareLogin(const QString& label) = 0;
    // Fingerprint page: redrawn for the current PIN type as the user's fingerprint page.
    virtual void showUserFingerNode() = 0;
    // Fingerprint page for a PIN type (0 administrator, 1 user).
    virtual void showFingerPageFor(quint32 pinType) = 0;
    // Initialization page fill; optionally hiding its fingerprint settings first.
    virtual void fillInitPage(bool hideFingerSettings) = 0;
    // SO PIN login page: the token's label and the administrator's fingerprint state.
    virtual void prepareSoLogin() = 0;
};
