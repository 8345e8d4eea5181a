// SPDX-License-Identifier: BSD-3-Clause
#include "TMaskedEditStyle.h"

#include <QApplication>
#include <QPointer>

TMaskedEditStyle* TMaskedEditStyle::instance()
{
    // Owned by the application, so it outlives every widget that uses it.
    static QPointer<TMaskedEditStyle> style;
    if (!style) {
        style = new TMaskedEditStyle;
        style->setParent(qApp);
    }
    return style;
}

int TMaskedEditStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                QStyleHintReturn* returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
