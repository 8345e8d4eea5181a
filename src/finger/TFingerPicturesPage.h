// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Never shown: holds the success, failure and animated fingerprint pictures that the
// fingerprint dialogs use.
class TFingerPicturesPage : public TPage
{
    Q_OBJECT
public:
    explicit TFingerPicturesPage(TProgramState& state, QWidget* parent = nullptr);
};
