// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

struct TProgramState;

// A built-in picture (Image5) above the picture named by the catalog (Image6), and below them the
// tool's version, its copyright and licence lines and the versions of Qt and OpenSSL in use (LAboutText).
class TAboutPage : public TPage
{
    Q_OBJECT
public:
    explicit TAboutPage(TProgramState& state, QWidget* parent = nullptr);

    // The four lines of LAboutText in the catalog's language.
    static QString aboutText();
};
