// SPDX-License-Identifier: BSD-3-Clause
#include "ui/Messages.h"

#include "i18n/ResStrs.h"
#include "platform/DialogService.h"

namespace Messages {

void information(QWidget* owner, const QString& text)
{
    DialogService::instance().information(owner, ResStrs::text("P_MSGTitle"), text);
}

bool question(QWidget* owner, const QString& text, bool topMost)
{
    return DialogService::instance().question(owner, ResStrs::text("P_MSGTitle"), text, topMost);
}

} // namespace Messages
