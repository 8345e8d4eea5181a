// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QProxyStyle>

// The application's style with one change: a masked entry shows "*" for every character.
// Widgets share one instance; it follows whatever the application style is.
class TMaskedEditStyle : public QProxyStyle
{
    Q_OBJECT
public:
    static TMaskedEditStyle* instance();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    TMaskedEditStyle() = default;
};
