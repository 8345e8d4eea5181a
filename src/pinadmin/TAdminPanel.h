// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "TUnlockCodeForm.h"

#include <QPointer>
#include <QWidget>

class QAction;

// The administrator's panel below the navigation tree (`Panel_Admin`): `Button24` runs
// `AcGenUnlockCode`, which opens the response generator. Outside administrator mode the panel stays
// hidden and the action does nothing.
class TAdminPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PanelHeight = 36;

    explicit TAdminPanel(bool admin, QWidget* parent = nullptr);

    QAction* genUnlockCodeAction() const { return m_genUnlockCode; }
    // The generator while it is open.
    TUnlockCodeForm* generator() const { return m_generator; }

public Q_SLOTS:
    // Opens the response generator, or brings the open one to the front.
    void genUnlockCode();

private:
    bool m_admin;
    QAction* m_genUnlockCode;
    QPointer<TUnlockCodeForm> m_generator;
};
