// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/TCertExpiryChecker.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

// The non-modal notice naming the certificates that have expired or expire soon. One window serves
// every token: a token's certificates come under its label, and a token announced again replaces its
// own rows instead of opening a second window. Closing the notice forgets what it showed.
class TCertExpiryNotice : public QDialog
{
    Q_OBJECT
public:
    explicit TCertExpiryNotice(QWidget* parent = nullptr);

    // Columns of the list: the token's label on its own row, then per certificate these.
    enum Column
    {
        Subject,
        Container,
        EndDate,
        State,
        ColumnCount
    };

    // Shows `findings` (soonest end first) under the token's label; `token` tells tokens apart.
    void showToken(const QString& token, const QString& label, const TCertExpiryChecker& checker,
                   const QList<TCertExpiryChecker::Finding>& findings);
    QTreeWidget* list() const { return m_list; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* m_info;
    QTreeWidget* m_list;
};
