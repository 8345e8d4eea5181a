// SPDX-License-Identifier: BSD-3-Clause
#include "TCertExpiryNotice.h"

#include "certs/CertTreeImages.h"
#include "i18n/ResStrs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int TokenRole = Qt::UserRole + 1;
}

TCertExpiryNotice::TCertExpiryNotice(QWidget* parent)
    : QDialog(parent), m_info(new QLabel(this)), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("CertExpiryNotice"));
    setModal(false);
    setWindowTitle(ResStrs::text("K_Expiry_Title"));
    m_info->setObjectName(QStringLiteral("lblExpiryInfo"));
    m_info->setText(ResStrs::text("K_Expiry_Info"));
    m_info->setWordWrap(true);

    m_list->setObjectName(QStringLiteral("tvExpiry"));
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({ResStrs::text("K_Expiry_Subject"), ResStrs::text("K_Expiry_Container"),
                             ResStrs::text("K_Expiry_EndDate"), ResStrs::text("K_Expiry_State")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setIconSize(QSize(16, 16));
    m_list->header()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(ResStrs::text("C_Btn_Confirm"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnExpiryOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_info);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(620, 260);
}

void TCertExpiryNotice::showToken(const QString& token, const QString& label,
                                  const TCertExpiryChecker& checker,
                                  const QList<TCertExpiryChecker::Finding>& findings)
{
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i)
        if (m_list->topLevelItem(i)->data(0, TokenRole).toString() == token)
            delete m_list->takeTopLevelItem(i);

    auto* head = new QTreeWidgetItem(QStringList{label});
    head->setData(0, TokenRole, token);
    head->setFirstColumnSpanned(true);
    QFont bold = head->font(0);
    bold.setBold(true);
    head->setFont(0, bold);
    for (const TCertExpiryChecker::Finding& f : findings) {
        auto* row = new QTreeWidgetItem(head);
        row->setText(Subject, f.subject);
        row->setText(Container, f.container);
        row->setText(EndDate, f.validTo.toString(Qt::ISODate));
        row->setText(State, checker.stateText(f.state, f.validTo));
        row->setIcon(Subject, CertTreeImages::markedIcon(CertTreeImages::Certificate,
                                                         TCertExpiryChecker::marker(f.state)));
    }
    m_list->addTopLevelItem(head);
    head->setFirstColumnSpanned(true);
    m_list->expandAll();
    for (int c = 0; c < ColumnCount - 1; ++c)
        m_list->resizeColumnToContents(c);

    if (!isVisible())
        show();
    raise();
}

void TCertExpiryNotice::hideEvent(QHideEvent* event)
{
    // A notice closed is done with; a later one starts empty. The window being minimized is not that.
    if (!event->spontaneous())
        m_list->clear();
    QDialog::hideEvent(event);
}
