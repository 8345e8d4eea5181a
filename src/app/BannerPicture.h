// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QPixmap>
#include <QString>

// The banner as shown: the text-free picture with the tool's name and subtitle drawn over it, so
// that the banner speaks the window's language. Without a picture the texts go on the tool's blue.
QPixmap BannerPicture(const QPixmap& background, const QSize& size, const QString& title,
                      const QString& subtitle);
