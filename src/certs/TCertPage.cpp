#include "TCertPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"
#include "certs/TCertViewer.h"
#include "token/CerMgrApis.h"

#include <QAction>
#include <QGridLayout>
#include <QMenu>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace PageWidgets;

TCertPage::TCertPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_tvCert(new QTreeWidget(this)), m_pbCert(new QProgressBar(this)),
      m_pmCertInfo(new QMenu(this))
{
    setObjectName(QStringLiteral("TabSheet5"));
    // Certificates this window opens are shown in its own viewer, in the catalog's language.
    CerMgrApis::SetCertificateViewer(&TCertViewer::showModal);

    m_tvCert->setObjectName(QStringLiteral("tvCert"));
    m_tvCert->setHeaderHidden(true);
    m_tvCert->setColumnCount(1);
    m_tvCert->setIndentation(19);
    m_tvCert->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvCert->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tvCert->setMouseTracking(true);
    m_tvCert->setContextMenuPolicy(Qt::CustomContextMenu);

    // Shown only while an import writes to the token.
    m_pbCert->setObjectName(QStringLiteral("PBCert"));
    m_pbCert->setRange(0, 100);
    m_pbCert->setValue(0);
    m_pbCert->hide();

    m_refresh = action(this, "Acrefresh");
    QAction* refresh = m_refresh;
    QAction* listCert = action(this, "AcListCert");
    QAction* regCert = action(this, "AcRegCert");
    QAction* inputCert = action(this, "AcInputCert");
    QAction* logout = action(this, "Aclogout");
    QAction* output = action(this, "AcOutput");
    QAction* unRegCert = action(this, "AcUnRegCert");
    QAction* del = action(this, "AcDel");
    QAction* delCert = action(this, "AcDelCert");

    m_pmCertInfo->setObjectName(QStringLiteral("PMCertInfo"));
    m_pmCertInfo->addActions({listCert, output, del, delCert});

    auto* buttons = new QGridLayout;
    const QList<QWidget*> firstRow = {
        button(this, "btnCertRefresh", refresh), button(this, "btnListCert", listCert),
        button(this, "btnRegCert", regCert), button(this, "btnInputCert", inputCert)};
    const QList<QWidget*> secondRow = {button(this, "Button9", logout), button(this, "btnOutput", output),
                                       button(this, "btnUnRegCert", unRegCert), button(this, "btnDel", del)};
    for (int i = 0; i < 4; ++i) {
        buttons->addWidget(firstRow[i], 0, i);
        buttons->addWidget(secondRow[i], 1, i);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tvCert, 1);
    layout->addWidget(m_pbCert);
    layout->addLayout(buttons);
}
