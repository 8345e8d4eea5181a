// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

class QWidget;

// Opens a web address as the settings ask: browser mode 0 hands it to the desktop's handler, any
// other mode starts the browser program with it. Blank addresses are skipped; the outcome is not
// checked.
void openWebAddress(QWidget* owner, const QString& address, int browserMode);
