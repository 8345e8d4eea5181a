#include "TMainForm.h"

#include "app/SettingsFile.h"
#include "app/TAboutPage.h"
#include "app/TDiscovery.h"
#include "app/TKeyInfoPage.h"
#include "app/TreeImages.h"
#include "certs/TCertPage.h"
#include "finger/TFingerPage.h"
#include "finger/TFingerPicturesPage.h"
#include "finger/TSkfBinding.h"
#include "i18n/CaptionApplier.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TIsoPage.h"
#include "pinadmin/TKeyLabelPage.h"
#include "pinadmin/TLoginPage.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "pinadmin/TSoLoginPage.h"
#include "pinadmin/TSoPinPage.h"
#include "pinadmin/TUnlockPage.h"
#include "pinadmin/TUserPinPage.h"
#include "platform/AppPaths.h"
#include "platform/ShellOpen.h"
#include "sysinfo/TSystemInfoPage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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

QTreeWidgetItem* addRoot(QTreeWidget* tree, const char* key, int image)
{
    auto* item = new QTreeWidgetItem(tree, {ResStrs::text(key)});
    TreeImages::setImage(item, image);
    return item;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), m_navigator(m_state, *this)
{
    setObjectName(QStringLiteral("MainForm"));
    buildFrame();
    createPages();
    // The catalog's texts first, then the window's own set-up.
    CaptionApplier::apply(this);
    applyCreationSteps();
    // Discovery starts the token library once the window is first shown and owns the USB notifier.
    m_discovery = new TDiscovery(m_state, this);
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
    m_tv->setObjectName(QStringLiteral("tv"));
    m_tv->setGeometry(0, BannerHeight, TreeWidth, ClientHeight - BannerHeight);
    m_tv->setHeaderHidden(true);
    m_tv->setColumnCount(1);
    m_tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tv->setIconSize(QSize(16, 16));
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
    connect(m_tv, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { m_navigator.select(current); });

    m_rpc = new QStackedWidget(client);
    m_rpc->setObjectName(QStringLiteral("RPC"));
    m_rpc->setGeometry(TreeWidth, BannerHeight, ClientWidth - TreeWidth, ClientHeight - BannerHeight);

    m_setFocusUPIN = new QTimer(this);
    m_setFocusUPIN->setObjectName(QStringLiteral("TSetFocusUPIN"));
    m_setFocusUPIN->setInterval(100);
    m_setFocusUPIN->setSingleShot(true);
    connect(m_setFocusUPIN, &QTimer::timeout, this, &TMainForm::onSetFocusUPIN);
}

void TMainForm::createPages()
{
    // In page-index order; the page control shows no tabs, only the navigation switches pages.
    m_rpc->addWidget(new TKeyInfoPage(m_state));
    m_rpc->addWidget(new TUserPinPage(m_state));
    m_rpc->addWidget(new TKeyLabelPage(m_state));
    m_rpc->addWidget(new TLoginPage(m_state));
    m_rpc->addWidget(new TCertPage(m_state));
    m_rpc->addWidget(new TSystemInfoPage(m_state));
    m_rpc->addWidget(new TAboutPage(m_state));
    m_rpc->addWidget(new TInitPage(m_state));
    m_rpc->addWidget(new TSoPinPage(m_state));
    m_rpc->addWidget(new TUnlockPage(m_state));
    m_rpc->addWidget(new TIsoPage(m_state));
    m_rpc->addWidget(new TFingerPage(m_state));
    m_rpc->addWidget(new TFingerPicturesPage(m_state));
    m_rpc->addWidget(new TSoLoginPage(m_state));
    m_rpc->addWidget(new TRemoteUnlockPage(m_state));
}

void TMainForm::applyCreationSteps()
{
    // 1. Nobody is logged in.
    m_state.loginState.fill(0);
    // 3. The update and the fuller report are not offered.
    for (const char* name : {"AcUpdate", "AcSave", "AcMore"})
        for (QAction* action : findChildren<QAction*>(QLatin1String(name)))
            action->setVisible(false);
    if (auto* system = page<TSystemInfoPage>(SystemPage))
        system->downloadProgress()->setVisible(false);
    // 5. Page 0.
    m_rpc->setCurrentIndex(KeyInfoPage);
    // 6.
    applyCertificateSwitches();
    // 7.
    if (auto* init = page<TInitPage>(InitPage))
        init->setKeyName(QStringLiteral("QX4100"));
    // 8.
    buildRoots();
    // 10. The settings, read once for the life of the window.
    m_state.config = TConfigInfo();
    SettingsFile::read(AppPaths::settingsDir() + QLatin1String(SettingsFile::FileName), m_state.config);
    // 11. and 14.: the initialization page opens on its first inner page, without the fingerprint settings.
    if (auto* init = page<TInitPage>(InitPage)) {
        init->pageControl()->setCurrentIndex(0);
        init->pageControl()->setTabVisible(InitFingerSettingsTab, false);
    }
    // 12.
    loadBanner();
    // 13.
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
    addRoot(m_tv, "Main_Form_Treeview", 9);
    addRoot(m_tv, "Main_Form_PopupMenu_CheceSystem", 10);
    addRoot(m_tv, "Main_Form_PopupMenu_About", 7);
}

void TMainForm::loadBanner()
{
    const QString path = AppPaths::applicationDir() + QStringLiteral("res/") + ResStrs::text("P_topImg");
    if (QFileInfo(path).isFile())
        m_image1->setPixmap(QPixmap(path));
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
        if (m_rpc->currentIndex() == CertPage) {
            if (auto* refresh = findChild<QAction*>(QStringLiteral("Acrefresh")))
                refresh->trigger();
        } else if (m_state.currentToken >= 0 && m_state.currentToken < int(m_state.loginState.size())) {
            m_state.loginState[size_t(m_state.currentToken)] = 1;
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
    if (auto* login = page<TLoginPage>(LoginPage))
        login->pinEdit()->setFocus();
}

void TMainForm::showPage(int index)
{
    m_rpc->setCurrentIndex(index);
}

void TMainForm::buildSystemReport()
{
    Q_EMIT systemReportRequested();
}

void TMainForm::matchSkfApplication(const QString& serialNumber)
{
    if (m_state.skf)
        m_state.skf->MatchTokenApplication(serialNumber.toLocal8Bit());
}

void TMainForm::showKeyInfo(int token)
{
    m_discovery->showKeyInfo(token);
}

void TMainForm::setKeyLabel(const QString& label)
{
    if (auto* labelPage = page<TKeyLabelPage>(KeyLabelPage))
        labelPage->setKeyName(label);
}

void TMainForm::loadCertificates()
{
    Q_EMIT certificatesRequested();
}

void TMainForm::prepareLogin(const QString& label)
{
    if (auto* login = page<TLoginPage>(LoginPage))
        login->setKeyName(label);
    m_setFocusUPIN->start();
    Q_EMIT loginFingerButtonsRequested();
}

void TMainForm::showUserFingerNode()
{
    Q_EMIT userFingerNodeRequested();
    if (auto* finger = page<TFingerPage>(FingerPage))
        finger->pageControl()->setTabText(0, ResStrs::text("F_User_Finger"));
}

void TMainForm::showFingerPageFor(quint32 pinType)
{
    Q_EMIT fingerPageRequested(pinType);
}

void TMainForm::fillInitPage(bool hideFingerSettings)
{
    if (auto* init = page<TInitPage>(InitPage); init && hideFingerSettings)
        init->pageControl()->setTabVisible(InitFingerSettingsTab, false);
    Q_EMIT initPageFillRequested(hideFingerSettings);
}

void TMainForm::prepareSoLogin()
{
    const int token = m_state.currentToken;
    if (auto* soLogin = page<TSoLoginPage>(SoLoginPage);
        soLogin && token >= 0 && token < int(m_state.TokenInfoTable.size()))
        soLogin->setKeyName(m_state.TokenInfoTable[size_t(token)].Label);
    Q_EMIT soLoginRequested();
}
