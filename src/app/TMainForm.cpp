// SPDX-License-Identifier: BSD-3-Clause
#include "TMainForm.h"

#include "app/BannerPicture.h"
#include "app/PageTable.h"
#include "app/TDiscovery.h"
#include "app/TKeyInfoPage.h"
#include "app/TreeImages.h"
#include "certs/TCertExpiryWatch.h"
#include "certs/TCertImport.h"
#include "certs/TCertPage.h"
#include "finger/TFingerPage.h"
#include "i18n/CaptionApplier.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TAdminPanel.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TKeyLabelPage.h"
#include "pinadmin/TLoginPage.h"
#include "pinadmin/TSoLoginPage.h"
#include "platform/AppPaths.h"
#include "platform/ShellOpen.h"
#include "settings/SettingsFile.h"
#include "skf/TSkfBinding.h"
#include "sysinfo/TSystemInfoPage.h"
#include "ui/PageWidgets.h"
#include "ui/TElidedToolTips.h"
#include "ui/TPage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

QTreeWidgetItem* addRoot(QTreeWidget* tree, const char* key, int image, std::optional<PageId> page)
{
    auto* item = new QTreeWidgetItem(tree, {ResStrs::text(key)});
    TreeImages::setImage(item, image);
    if (page)
        item->setData(0, TNavigator::PageRole, QVariant::fromValue(*page));
    return item;
}

} // namespace

TMainForm::TMainForm(const TStartOptions& options, QWidget* parent)
    : QMainWindow(parent), m_navigator(m_state, *this)
{
    m_state.options = options;
    setObjectName(QStringLiteral("MainForm"));
    buildFrame();
    createPages();
    // The catalog's texts first, then the window's own set-up.
    CaptionApplier::apply(this);
    applyCreationSteps();
    // Discovery starts the token library once the window is first shown and owns the USB notifier.
    m_discovery = new TDiscovery(m_state, this);
    connectDiscovery();
}

void TMainForm::connectDiscovery()
{
    auto* keyInfo = page<TKeyInfoPage>(PageId::KeyInfo);
    m_discovery->setViews(m_tv, keyInfo->list());
    connect(keyInfo->refreshAction(), &QAction::triggered, m_discovery, &TDiscovery::refreshFromButton);
    connect(m_discovery, &TDiscovery::showPageRequested, this, &TMainForm::showPage);
    connect(m_discovery, &TDiscovery::fingerFlagChanged, this, &TMainForm::setFingerLogonVisible);
    auto* login = page<TLoginPage>(PageId::Login);
    auto* certs = page<TCertPage>(PageId::Cert);
    // Tokens just found are checked for certificates that have expired or expire soon; one whose
    // certificates need a login is checked once the user has logged in.
    auto* expiry = new TCertExpiryWatch(m_state, this);
    connect(m_discovery, &TDiscovery::refreshed, expiry, &TCertExpiryWatch::tokensRefreshed);
    connect(m_discovery, &TDiscovery::refreshed, this, &TMainForm::followCurrentToken);
    connect(login, &TLoginPage::loggedIn, expiry,
            [this, expiry] { expiry->checkToken(m_state.currentToken()); });
    // Login and logout move between the login page and the certificate page.
    connect(login, &TLoginPage::loggedIn, this, [this] {
        showPage(PageId::Cert);
        loadCertificates();
    });
    connect(certs, &TCertPage::loggedOut, this, [this, login] {
        login->clearPin();
        showPage(PageId::Login);
    });
    // The fingerprint page carries out the fingerprint login and the fingerprint nodes.
    auto* finger = page<TFingerPage>(PageId::Finger);
    finger->attachLogon(login->fingerLogonAction());
    connect(this, &TMainForm::loginFingerButtonsRequested, finger, &TFingerPage::prepareLogon);
    finger->attachSoLogon(
        page(PageId::SoLogin)->findChild<QAction*>(QStringLiteral("AcFinger_SOPINFinger_Login")));
    connect(this, &TMainForm::soLoginRequested, finger, &TFingerPage::prepareSoLogon);
    connect(this, &TMainForm::userFingerNodeRequested, finger,
            [finger] { finger->ShowFingerPageFor(SKF_USER_TYPE); });
    connect(this, &TMainForm::fingerPageRequested, finger,
            [finger](quint32 pinType) { finger->ShowFingerPageFor(pinType); });
    connect(finger, &TFingerPage::fingerLoggedIn, this, [this] {
        showPage(PageId::Cert);
        loadCertificates();
    });
    connect(certs->importer(), &TCertImport::dialogOpened, this, &TMainForm::setImportDialog);
    connect(page<TKeyLabelPage>(PageId::KeyLabel), &TKeyLabelPage::labelChanged, m_discovery,
            &TDiscovery::renameToken);
    auto* init = page<TInitPage>(PageId::Init);
    connect(this, &TMainForm::initPageFillRequested, init, &TInitPage::fill);
    connect(init, &TInitPage::initialized, m_discovery, &TDiscovery::refreshFromButton);
    connect(m_discovery, &TDiscovery::closeImportDialogRequested, this, [this] {
        if (m_importDialog && m_importDialog->isVisible())
            m_importDialog->close();
    });
}

void TMainForm::setImportDialog(QDialog* dialog)
{
    m_importDialog = dialog;
}

void TMainForm::setFingerLogonVisible(bool on)
{
    page<TLoginPage>(PageId::Login)->fingerLogonAction()->setVisible(on);
}

TMainForm::~TMainForm()
{
    // The navigation must not run for the nodes the tree drops while it is destroyed.
    if (m_tv)
        m_tv->disconnect(this);
    // Library stop: the notifier goes first, then the token library is finalized.
    m_discovery->stopLibrary();
}

void TMainForm::buildFrame()
{
    // A fixed frame: system menu, minimize and close, no resizing and no maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    setFixedSize(ClientWidth, ClientHeight);

    m_image1 = new QLabel(client);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setGeometry(0, 0, ClientWidth, BannerHeight);

    m_tv = new QTreeWidget(client);
    TElidedToolTips::install(m_tv);
    m_tv->setObjectName(QStringLiteral("tv"));
    // The administrator's panel takes the bottom of the tree's column; it shows in administrator mode only.
    const bool admin = m_state.options.admin;
    auto* adminPanel = new TAdminPanel(admin, client);
    adminPanel->setGeometry(0, ClientHeight - TAdminPanel::PanelHeight, TreeWidth, TAdminPanel::PanelHeight);
    m_tv->setGeometry(0, BannerHeight, TreeWidth,
                      ClientHeight - BannerHeight - (admin ? TAdminPanel::PanelHeight : 0));
    m_tv->setHeaderHidden(true);
    m_tv->setColumnCount(1);
    m_tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tv->setIconSize(QSize(16, 16));
    // Narrower steps than the style's: the administration subtree goes four levels deep in a fixed
    // width, and its labels must still show whole.
    m_tv->setIndentation(14);
    // Hot tracking: the node under the mouse is highlighted.
    m_tv->setMouseTracking(true);
    m_tv->viewport()->setAttribute(Qt::WA_Hover);
    // The selection stays visible when the tree loses the focus.
    QPalette palette = m_tv->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_tv->setPalette(palette);
    connect(m_tv, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        m_navigator.select(current);
        followCurrentToken();
    });

    m_rpc = new QStackedWidget(client);
    m_rpc->setObjectName(QStringLiteral("RPC"));
    m_rpc->setGeometry(TreeWidth, BannerHeight, ClientWidth - TreeWidth, ClientHeight - BannerHeight);

    m_setFocusUPIN = new QTimer(this);
    m_setFocusUPIN->setObjectName(QStringLiteral("TSetFocusUPIN"));
    m_setFocusUPIN->setSingleShot(true);
    connect(m_setFocusUPIN, &QTimer::timeout, this, &TMainForm::onSetFocusUPIN);
}

void TMainForm::createPages()
{
    // The page control shows no tabs; only the navigation switches pages.
    for (const PageTable::Entry& entry : PageTable::entries()) {
        TPage* page = entry.make(m_state);
        m_pages[size_t(entry.id)] = page;
        m_rpc->addWidget(page);
    }
}

void TMainForm::applyCreationSteps()
{
    // The update and the fuller report are offered in administrator mode only.
    for (const char* name : {"AcUpdate", "AcSave", "AcMore"})
        for (QAction* action : findChildren<QAction*>(QLatin1String(name)))
            action->setVisible(m_state.options.admin);
    page<TSystemInfoPage>(PageId::System)->downloadProgress()->setVisible(false);
    showPage(PageId::KeyInfo);
    applyCertificateSwitches();
    page<TInitPage>(PageId::Init)->setKeyName(QStringLiteral("QX4100"));
    buildRoots();
    // The settings, read once for the life of the window.
    m_state.config = TConfigInfo();
    SettingsFile::read(AppPaths::settingsDir() + QLatin1String(SettingsFile::FileName), m_state.config);
    // The initialization page opens on its first inner page, without the fingerprint settings.
    auto* init = page<TInitPage>(PageId::Init);
    init->pageControl()->setCurrentIndex(0);
    init->pageControl()->setTabVisible(InitFingerSettingsTab, false);
    loadBanner();
    startMonitor();
}

void TMainForm::applyCertificateSwitches()
{
    const struct
    {
        const char* action;
        const char* key;
    } switches[] = {{"AcDelCert", "config_Cert_Del"},
                    {"AcInputCert", "config_Cert_Input"},
                    {"AcDel", "config_Cont_Del"},
                    {"AcOutput", "config_Cert_Output"}};
    for (const auto& s : switches)
        for (QAction* action : findChildren<QAction*>(QLatin1String(s.action)))
            action->setVisible(ResStrs::switchOn(s.key));
}

void TMainForm::buildRoots()
{
    m_tv->clear();
    // The token list opens no page of its own.
    addRoot(m_tv, "Main_Form_Treeview", 9, std::nullopt);
    addRoot(m_tv, "Main_Form_PopupMenu_CheceSystem", 10, PageId::System);
    addRoot(m_tv, "Main_Form_PopupMenu_About", 7, PageId::About);
}

void TMainForm::loadBanner()
{
    const QString path = AppPaths::applicationDir() + QStringLiteral("res/") + ResStrs::text("P_topImg");
    const QPixmap picture = QFileInfo(path).isFile() ? QPixmap(path) : QPixmap();
    m_image1->setPixmap(BannerPicture(picture, m_image1->size(), ResStrs::text("Banner_Title"),
                                      ResStrs::text("Banner_Subtitle")));
}

void TMainForm::startMonitor()
{
    QString name = ResStrs::text("MonName");
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.isEmpty())
        return;
    const QString path = AppPaths::applicationDir() + name;
    if (QFileInfo(path).isFile())
        ShellOpen::instance().open(path);
}

void TMainForm::handleCommand(const QString& command)
{
    if (command == QLatin1String("CLOSE")) {
        close();
    } else if (command == QLatin1String("LoadCert")) {
        if (m_rpc->currentWidget() == page(PageId::Cert)) {
            page<TCertPage>(PageId::Cert)->refreshAction()->trigger();
        } else if (TTokenSession* session = m_state.sessions.current()) {
            session->logout();
        }
    } else if (command == QLatin1String("restore")) {
        restoreWindow();
    }
}

void TMainForm::restoreWindow()
{
    showNormal();
    raise();
    activateWindow();
    // The last active pop-up (an open dialog) comes to the front when it can take input.
    QWidget* popup = QApplication::activeModalWidget();
    if (popup && popup != this && popup->isVisible() && popup->isEnabled()) {
        popup->raise();
        popup->activateWindow();
    }
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    m_state.closing = true;
    event->accept();
}

void TMainForm::onSetFocusUPIN()
{
    m_setFocusUPIN->stop();
    page<TLoginPage>(PageId::Login)->pinEdit()->setFocus();
}

void TMainForm::showPage(PageId id)
{
    m_rpc->setCurrentWidget(page(id));
}

void TMainForm::buildSystemReport()
{
    page<TSystemInfoPage>(PageId::System)->ShowSystemReport();
    Q_EMIT systemReportRequested();
}

void TMainForm::matchSkfApplication(const QString& serialNumber)
{
    if (TSkfBinding* skf = m_state.skf())
        skf->MatchTokenApplication(serialNumber.toLocal8Bit());
}

void TMainForm::showKeyInfo(int token)
{
    m_discovery->showKeyInfo(token);
}

void TMainForm::setKeyLabel(const QString& label)
{
    page<TKeyLabelPage>(PageId::KeyLabel)->setKeyName(label);
}

void TMainForm::loadCertificates()
{
    auto* certs = page<TCertPage>(PageId::Cert);
    certs->BuildCertificateTree();
    certs->UpdateCertActions();
    Q_EMIT certificatesRequested();
}

void TMainForm::followCurrentToken()
{
    const TTokenSession* session = m_state.sessions.current();
    const QString serial = session ? session->serialNumber() : QString();
    if (serial == m_fieldsToken)
        return;
    m_fieldsToken = serial;
    PageWidgets::clearMaskedFields(this);
    PageWidgets::clearMaskedFields(m_importDialog);
}

void TMainForm::prepareLogin(const QString& label)
{
    page<TLoginPage>(PageId::Login)->setKeyName(label);
    m_setFocusUPIN->start(m_state.timings.setFocusUPIN);
    Q_EMIT loginFingerButtonsRequested();
}

void TMainForm::showUserFingerNode()
{
    Q_EMIT userFingerNodeRequested();
    page<TFingerPage>(PageId::Finger)->pageControl()->setTabText(0, ResStrs::text("F_User_Finger"));
}

void TMainForm::showFingerPageFor(quint32 pinType)
{
    Q_EMIT fingerPageRequested(pinType);
}

void TMainForm::fillInitPage(bool hideFingerSettings)
{
    // The fingerprint settings belong to a token with a sensor the fingerprint side serves.
    const TTokenSession* session = m_state.sessions.current();
    const bool fingers =
        !hideFingerSettings && m_state.sessions.fingerFlag() && session && session->hasSensor();
    page<TInitPage>(PageId::Init)->pageControl()->setTabVisible(InitFingerSettingsTab, fingers);
    Q_EMIT initPageFillRequested(hideFingerSettings);
}

void TMainForm::prepareSoLogin()
{
    page<TSoLoginPage>(PageId::SoLogin)->setKeyName(m_state.tokenInfo(m_state.currentToken()).Label);
    Q_EMIT soLoginRequested();
}
