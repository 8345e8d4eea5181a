// SPDX-License-Identifier: BSD-3-Clause
#include "DialogService.h"

#include "platform/WidgetDialogs.h"

#include <QStringList>

namespace {
DialogService*& installed()
{
    static DialogService* service = nullptr;
    return service;
}
} // namespace

DialogService::~DialogService() = default;

DialogService& DialogService::instance()
{
    if (installed())
        return *installed();
    static WidgetDialogs real;
    return real;
}

void DialogService::install(DialogService* service)
{
    installed() = service;
}

void DialogService::information(QWidget* owner, const QString& title, const QString& text)
{
    showMessage(owner, Icon::Information, title, text, false);
}

bool DialogService::question(QWidget* owner, const QString& title, const QString& text, bool topMost)
{
    return showMessage(owner, Icon::Question, title, text, topMost);
}

QString DialogService::qtFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts.at(i).trimmed() + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
