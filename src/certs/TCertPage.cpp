// SPDX-License-Identifier: BSD-3-Clause
#include "TCertPage.h"

#include "certs/CertRegistration.h"
#include "certs/CertTreeImages.h"
#include "certs/TCertExpiryChecker.h"
#include "certs/TCertImport.h"
#include "certs/TCertViewer.h"
#include "certs/TWaitCursor.h"
#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "platform/DialogService.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TElidedToolTips.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QMenu>
#include <QProgressBar>
#include <QSaveFile>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace PageWidgets;

namespace {

int level(const QTreeWidgetItem* node)
{
    int n = 0;
    for (const QTreeWidgetItem* p = node->parent(); p; p = p->parent())
        ++n;
    return n;
}

int indexAmongSiblings(const QTreeWidgetItem* node)
{
    if (const QTreeWidgetItem* parent = node->parent())
        return parent->indexOfChild(const_cast<QTreeWidgetItem*>(node));
    return node->treeWidget() ? node->treeWidget()->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(node))
                              : -1;
}

QString kindSuffix(qint32 kind)
{
    if (kind == qint32(CertKind::Root))
        return QStringLiteral("(ROOT)");
    if (kind == qint32(CertKind::Ca))
        return QStringLiteral("(CA)");
    return {};
}

QString keyPrefix(qint32 keyType, qint32 keyBits)
{
    return QStringLiteral("(%1%2)")
        .arg(keyType == qint32(KeyType::Ecc) ? QLatin1String("ECC") : QLatin1String("RSA"))
        .arg(keyBits);
}

QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int image)
{
    auto* node = new QTreeWidgetItem(parent, {text});
    CertTreeImages::setImage(node, image);
    return node;
}

// Container and certificate nodes show an open box while expanded.
void showExpandedState(QTreeWidgetItem* node)
{
    const int image = CertTreeImages::imageIndex(node);
    if (image == CertTreeImages::Closed || image == CertTreeImages::Open)
        CertTreeImages::setImage(node, node->isExpanded() && node->childCount() > 0 ? CertTreeImages::Open
                                                                                    : CertTreeImages::Closed);
}

QString statusHex(quint32 status)
{
    return QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TCertPage::TCertPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_tvCert(new QTreeWidget(this)), m_pbCert(new QProgressBar(this)),
      m_pmCertInfo(new QMenu(this)), m_regCert(new QTimer(this)), m_import(new TCertImport(state, this)),
      m_cert(std::make_unique<TQ7CertInfo>())
{
    TElidedToolTips::install(m_tvCert);
    setObjectName(QStringLiteral("TabSheet5"));
    // Certificates this window opens are shown in its own viewer, in the catalog's language.
    CerMgrApis::SetCertificateViewer(&TCertViewer::showModal);

    m_tvCert->setObjectName(QStringLiteral("tvCert"));
    m_tvCert->setHeaderHidden(true);
    m_tvCert->setColumnCount(1);
    m_tvCert->setIndentation(19);
    m_tvCert->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvCert->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tvCert->setIconSize(QSize(16, 16));
    // Hot tracking: the node under the mouse is highlighted.
    m_tvCert->setMouseTracking(true);
    m_tvCert->viewport()->setAttribute(Qt::WA_Hover);
    // The selection stays visible when the tree loses the focus.
    QPalette palette = m_tvCert->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_tvCert->setPalette(palette);
    m_tvCert->setContextMenuPolicy(Qt::CustomContextMenu);

    // Shown only while an import writes to the token.
    m_pbCert->setObjectName(QStringLiteral("PBCert"));
    m_pbCert->setRange(0, 100);
    m_pbCert->setValue(0);
    m_pbCert->hide();

    // Off until an import asks for a registration; it runs once.
    m_regCert->setObjectName(QStringLiteral("TRegCert"));
    m_regCert->setSingleShot(true);
    connect(m_regCert, &QTimer::timeout, this, &TCertPage::onRegCertTimer);

    m_refresh = action(this, "Acrefresh");
    m_listCert = action(this, "AcListCert");
    m_regCertAction = action(this, "AcRegCert");
    m_inputCert = action(this, "AcInputCert");
    m_logout = action(this, "Aclogout");
    m_output = action(this, "AcOutput");
    m_unRegCert = action(this, "AcUnRegCert");
    m_del = action(this, "AcDel");
    m_delCert = action(this, "AcDelCert");

    m_pmCertInfo->setObjectName(QStringLiteral("PMCertInfo"));
    m_pmCertInfo->addActions({m_listCert, m_output, m_del, m_delCert});

    auto* buttons = new QGridLayout;
    const QList<QWidget*> firstRow = {
        button(this, "btnCertRefresh", m_refresh), button(this, "btnListCert", m_listCert),
        button(this, "btnRegCert", m_regCertAction), button(this, "btnInputCert", m_inputCert)};
    const QList<QWidget*> secondRow = {button(this, "Button9", m_logout), button(this, "btnOutput", m_output),
                                       button(this, "btnUnRegCert", m_unRegCert),
                                       button(this, "btnDel", m_del)};
    for (int i = 0; i < 4; ++i) {
        buttons->addWidget(firstRow[i], 0, i);
        buttons->addWidget(secondRow[i], 1, i);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tvCert, 1);
    layout->addWidget(m_pbCert);
    layout->addLayout(buttons);

    connect(m_refresh, &QAction::triggered, this, &TCertPage::onRefresh);
    connect(m_listCert, &QAction::triggered, this, &TCertPage::onListCert);
    connect(m_regCertAction, &QAction::triggered, this, &TCertPage::onRegCert);
    connect(m_inputCert, &QAction::triggered, this, &TCertPage::onInputCert);
    connect(m_import, &TCertImport::stopped, this, [this] { importEnded(false); });
    connect(m_import, &TCertImport::finished, this, [this] { importEnded(true); });
    connect(m_logout, &QAction::triggered, this, &TCertPage::onLogout);
    connect(m_output, &QAction::triggered, this, &TCertPage::onOutput);
    connect(m_unRegCert, &QAction::triggered, this, &TCertPage::onUnRegCert);
    connect(m_del, &QAction::triggered, this, &TCertPage::onDel);
    connect(m_delCert, &QAction::triggered, this, &TCertPage::onDelCert);

    connect(m_tvCert, &QTreeWidget::itemSelectionChanged, this, &TCertPage::UpdateCertActions);
    connect(m_tvCert, &QTreeWidget::itemDoubleClicked, this, &TCertPage::onListCert);
    connect(m_tvCert, &QTreeWidget::customContextMenuRequested, this, &TCertPage::showContextMenu);
    connect(m_tvCert, &QTreeWidget::itemExpanded, this, &showExpandedState);
    connect(m_tvCert, &QTreeWidget::itemCollapsed, this, &showExpandedState);

    // Registration needs containers to register; the others follow the selection and the login.
    ActionUpdater& updater = ActionUpdater::instance();
    updater.add(m_regCertAction, [this] { return currentContainerCount() > 0; });
    updater.add(m_unRegCert, [this] { return currentContainerCount() > 0; });
    updater.add(this, [this] { UpdateCertActions(); });
    UpdateCertActions();
}

TCertPage::~TCertPage() = default;

bool TCertPage::currentTokenValid() const
{
    return session() != nullptr;
}

int TCertPage::stateOfCurrentToken() const
{
    return m_state.loginState(m_state.currentToken());
}

int TCertPage::currentContainerCount() const
{
    return m_state.tokenInfo(m_state.currentToken()).ContainerCount;
}

void TCertPage::BuildCertificateTree()
{
    m_tvCert->clear();
    if (!currentTokenValid())
        return;
    const int token = m_state.currentToken();
    TQ7Info& info = session()->info();
    // A failed listing keeps the names of the previous one.
    CerMgrApis::LoadContainerNames(token, info);

    // The nodes are put together first and handed to the tree in one go.
    QList<QTreeWidgetItem*> containers;
    if (info.ContainerNames.isEmpty()) {
        auto* placeholder = new QTreeWidgetItem(QStringList{ResStrs::text("K_Null_cont")});
        CertTreeImages::setImage(placeholder, CertTreeImages::Closed);
        containers.append(placeholder);
    }
    const QString containerSuffix = ResStrs::text("K_Cont");
    for (int i = 0; i < info.ContainerNames.size(); ++i) {
        auto* node = new QTreeWidgetItem(QStringList{info.ContainerNames[i] + containerSuffix});
        CertTreeImages::setImage(node, CertTreeImages::Closed);
        for (KeySpec keySpec : {KeySpec::Exchange, KeySpec::Signature})
            addCertificateNodes(node, token, i, keySpec, *m_cert);
        for (KeySpec keySpec : {KeySpec::Exchange, KeySpec::Signature})
            if (!m_state.ContainerCertFlags.flag(token, i, keySpec))
                addKeyNodes(node, token, i, keySpec);
        containers.append(node);
    }
    m_tvCert->addTopLevelItems(containers);
    m_tvCert->expandAll();
    for (QTreeWidgetItem* container : std::as_const(containers)) {
        showExpandedState(container);
        for (int c = 0; c < container->childCount(); ++c)
            showExpandedState(container->child(c));
    }
}

void TCertPage::addCertificateNodes(QTreeWidgetItem* container, int token, int index, KeySpec keySpec,
                                    TQ7CertInfo& cert)
{
    const QString& name = m_state.tokenInfo(token).ContainerNames[index];
    // The record is shared by the whole build: a key size must not come from another certificate.
    cert.KeyType = 0;
    cert.KeyBits = 0;
    if (CerMgrApis::ReadCertificateInfo(token, name, keySpec, cert) != TokenStatus::Success) {
        m_state.ContainerCertFlags.set(token, index, keySpec, false);
        return;
    }
    const char* mode = keySpec == KeySpec::Exchange ? "K_Cert_mode1" : "K_Cert_mode2";
    QTreeWidgetItem* node =
        addNode(container, ResStrs::text(mode) + kindSuffix(cert.Kind), CertTreeImages::Closed);
    // A certificate that has expired, expires soon or is not valid yet is marked, with its dates.
    const TCertExpiryChecker expiry(m_state.config);
    const TCertExpiryChecker::State validity = expiry.classify(cert);
    if (TCertExpiryChecker::warns(validity)) {
        CertTreeImages::setMarker(node, TCertExpiryChecker::marker(validity));
        node->setToolTip(0, expiry.validityText(cert));
    }
    addNode(node, cert.Subject, CertTreeImages::Certificate);
    qint32 keyType = 0;
    if (CerMgrApis::ReadPublicKeyType(token, name, keySpec, keyType) == TokenStatus::Success)
        addNode(node, keyPrefix(keyType, cert.KeyBits) + ResStrs::text("K_RSA_Pub"),
                CertTreeImages::PublicKey);
    if (CerMgrApis::ReadPrivateKeyType(token, name, keySpec, keyType) == TokenStatus::Success)
        addNode(node, keyPrefix(keyType, cert.KeyBits) + ResStrs::text("K_RSA_Pri"),
                CertTreeImages::PrivateKey);
    m_state.ContainerCertFlags.set(token, index, keySpec, true);
}

void TCertPage::addKeyNodes(QTreeWidgetItem* container, int token, int index, KeySpec keySpec)
{
    const QString& name = m_state.tokenInfo(token).ContainerNames[index];
    // Without a certificate the key size is not read here: the key type alone names the key.
    const auto prefix = [](qint32 keyType) {
        return keyType == qint32(KeyType::Ecc) ? QStringLiteral("(ECC)") : QStringLiteral("(RSA)");
    };
    qint32 keyType = 0;
    if (CerMgrApis::ReadPublicKeyType(token, name, keySpec, keyType) == TokenStatus::Success)
        addNode(container, prefix(keyType) + ResStrs::text("K_RSA_Pub"), CertTreeImages::PublicKey);
    if (CerMgrApis::ReadPrivateKeyType(token, name, keySpec, keyType) == TokenStatus::Success)
        addNode(container, prefix(keyType) + ResStrs::text("K_RSA_Pri"), CertTreeImages::PrivateKey);
}

void TCertPage::UpdateCertActions()
{
    const int loginState = stateOfCurrentToken();
    const QList<QTreeWidgetItem*> selected = m_tvCert->selectedItems();
    const QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.constFirst();
    const int nodeLevel = node ? level(node) : -1;
    const int nodeIndex = node ? indexAmongSiblings(node) : -1;
    m_del->setEnabled(loginState > 1 && nodeLevel == 0 && currentContainerCount() > 0);
    const bool subject = loginState > 1 && nodeLevel == 2 && nodeIndex == 0;
    m_output->setEnabled(subject);
    m_listCert->setEnabled(subject);
    m_delCert->setEnabled(subject);
}

std::optional<TCertPage::SelectedCertificate> TCertPage::ResolveSelectedCertificate() const
{
    const QList<QTreeWidgetItem*> selected = m_tvCert->selectedItems();
    if (selected.isEmpty() || !currentTokenValid())
        return std::nullopt;
    const QTreeWidgetItem* node = selected.constFirst();
    if (level(node) != 2 || indexAmongSiblings(node) != 0)
        return std::nullopt;
    const QTreeWidgetItem* certNode = node->parent();
    const int container = indexAmongSiblings(certNode->parent());
    const int token = m_state.currentToken();
    const QStringList& names = m_state.tokenInfo(token).ContainerNames;
    if (container < 0 || container >= names.size())
        return std::nullopt;
    // The first certificate node is the exchange certificate when the container has one.
    const quint8 exchange = m_state.ContainerCertFlags.flag(token, container, KeySpec::Exchange);
    const quint8 signature = m_state.ContainerCertFlags.flag(token, container, KeySpec::Signature);
    const int certIndex = indexAmongSiblings(certNode);
    const quint8 half = certIndex == 0 ? (exchange ? exchange : signature) : certIndex == 1 ? signature : 0;
    if (half != quint8(KeySpec::Exchange) && half != quint8(KeySpec::Signature))
        return std::nullopt;
    return SelectedCertificate{container, KeySpec(half), names[container]};
}

void TCertPage::ShowCertificate(int container, KeySpec keySpec)
{
    if (!currentTokenValid())
        return;
    const QStringList& names = m_state.tokenInfo(m_state.currentToken()).ContainerNames;
    if (container < 0 || container >= names.size())
        return;
    QByteArray cert;
    if (CerMgrApis::ReadCertificate(m_state.currentToken(), names[container], keySpec, cert) !=
        TokenStatus::Success) {
        Messages::information(window(), ResStrs::text("K_GetKeyCert_Error"));
        return;
    }
    CerMgrApis::ShowCertificateDialog(quintptr(window()->winId()), cert);
}

void TCertPage::scheduleRegistration()
{
    m_regCert->start(m_state.timings.regCert);
}

void TCertPage::showContextMenu(const QPoint& pos)
{
    if (QTreeWidgetItem* node = m_tvCert->itemAt(pos))
        m_tvCert->setCurrentItem(node);
    UpdateCertActions();
    m_pmCertInfo->popup(m_tvCert->viewport()->mapToGlobal(pos));
}

void TCertPage::onRefresh()
{
    {
        TWaitCursor wait;
        if (currentTokenValid())
            CerMgrApis::ReloadTokenObjects(m_state.currentToken());
        BuildCertificateTree();
    }
    m_tvCert->setFocus();
}

void TCertPage::onListCert()
{
    if (const auto selected = ResolveSelectedCertificate())
        ShowCertificate(selected->container, selected->keySpec);
}

void TCertPage::onOutput()
{
    const auto selected = ResolveSelectedCertificate();
    if (!selected)
        return;
    QByteArray cert;
    if (CerMgrApis::ReadCertificate(m_state.currentToken(), selected->containerName, selected->keySpec,
                                    cert) != TokenStatus::Success) {
        Messages::information(window(), ResStrs::text("K_GetKeyCert_Error"));
        return;
    }
    DialogService::FileDialogOptions options;
    options.defaultSuffix = QStringLiteral("cer");
    QString fileName = DialogService::instance().saveFileName(window(), options);
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".cer");
    // Written whole or not at all; a read-only file is not replaced behind the user's back.
    const QFileInfo target(fileName);
    QSaveFile file(fileName);
    const bool written = !(target.exists() && !target.isWritable()) && file.open(QIODevice::WriteOnly) &&
                         file.write(cert) == cert.size() && file.commit();
    if (!written) {
        Messages::information(window(), ResStrs::text("Main_Form_btn_Output") + QStringLiteral(": ") +
                                            ResStrs::text("Change_No") + QLatin1Char('\n') +
                                            QDir::toNativeSeparators(fileName));
        return;
    }
    Messages::information(window(), ResStrs::text("OutPut_OK"));
}

void TCertPage::onDelCert()
{
    const auto selected = ResolveSelectedCertificate();
    if (!selected)
        return;
    if (!Messages::question(window(), ResStrs::text("K_DEL_YES_NO"))) {
        m_tvCert->setFocus();
        return;
    }
    quint32 status;
    {
        TWaitCursor wait;
        status =
            CerMgrApis::DeleteCertificate(m_state.currentToken(), selected->containerName, selected->keySpec);
    }
    finishDeletion(status);
}

void TCertPage::onDel()
{
    const QList<QTreeWidgetItem*> selected = m_tvCert->selectedItems();
    if (selected.isEmpty() || level(selected.constFirst()) != 0 || !currentTokenValid())
        return;
    const int index = indexAmongSiblings(selected.constFirst());
    const QStringList& names = m_state.tokenInfo(m_state.currentToken()).ContainerNames;
    if (index < 0 || index >= names.size())
        return;
    const QString name = names[index];
    if (!Messages::question(window(), ResStrs::text("K_DEL_YES_NO"))) {
        m_tvCert->setFocus();
        return;
    }
    quint32 status;
    {
        TWaitCursor wait;
        status = CerMgrApis::DeleteContainer(m_state.currentToken(), name);
    }
    finishDeletion(status);
}

void TCertPage::finishDeletion(quint32 status)
{
    if (status != TokenStatus::Success) {
        Messages::information(window(), ResStrs::text("K_DEL_Error") + ResStrs::text("K_ErrorCODE_Str") +
                                            QStringLiteral(" = 0x") + statusHex(status));
    } else {
        // The stores are rebuilt from scratch for every connected token.
        TWaitCursor wait;
        CerMgrApis::RemoveAllCertsFromStore(CertRegistration::providerName());
        BuildCertificateTree();
        CertRegistration::RegisterAllTokens(m_state);
    }
    m_tvCert->setFocus();
}

void TCertPage::onRegCert()
{
    const quint32 status = CertRegistration::RegisterTokenCertificates(m_state, m_state.currentToken());
    Messages::information(window(),
                          ResStrs::text(status == TokenStatus::Success ? "Change_Yes" : "Change_No"));
}

void TCertPage::onUnRegCert()
{
    const quint32 status = CerMgrApis::RemoveAllCertsFromStore(CertRegistration::providerName());
    Messages::information(window(),
                          ResStrs::text(status == TokenStatus::Success ? "Change_Yes" : "Change_No"));
}

void TCertPage::onRegCertTimer()
{
    m_regCert->stop();
    CertRegistration::RegisterTokenCertificates(m_state, m_state.currentToken());
}

void TCertPage::onInputCert()
{
    // A container node offers its own container first; any other node leaves the choice open.
    int preselect = -1;
    const QList<QTreeWidgetItem*> selected = m_tvCert->selectedItems();
    if (!selected.isEmpty() && !selected.constFirst()->parent())
        preselect = m_tvCert->indexOfTopLevelItem(selected.constFirst());
    m_import->run(window(), m_pbCert, preselect);
}

void TCertPage::importEnded(bool wrote)
{
    // Whatever the result, the tree shows what the token now holds.
    if (wrote) {
        BuildCertificateTree();
        scheduleRegistration();
    }
    m_tvCert->setFocus();
    UpdateCertActions();
}

void TCertPage::onLogout()
{
    if (!currentTokenValid())
        return;
    // The token library and the token's own fingerprint application both forget the login.
    session()->logout();
    Q_EMIT loggedOut();
}
