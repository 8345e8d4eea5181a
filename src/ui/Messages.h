// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

class QWidget;

// The tool's message boxes: the catalog's title `P_MSGTitle` over the given text, through the
// dialog service so tests can script them.
namespace Messages {

// Information icon and OK. A null owner means the application's active window.
void information(QWidget* owner, const QString& text);
// Question icon, Yes and No; true only for Yes.
bool question(QWidget* owner, const QString& text, bool topMost = false);

} // namespace Messages
