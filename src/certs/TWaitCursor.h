// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QGuiApplication>

// The hourglass for as long as it lives.
class TWaitCursor
{
public:
    TWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};
