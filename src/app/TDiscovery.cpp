#include "TDiscovery.h"

#include "app/KeyInfoRows.h"
#include "app/OpenWebAddress.h"
#include "app/TProgramState.h"
#include "app/TreeImages.h"
#include "app/USBPIDUnit.h"
#include "finger/TSkfBinding.h"
#include "i18n/ResStrs.h"
#include "platform/DialogService.h"
#include "platform/WaitResponsive.h"
#include "token/CerMgrApis.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int ImgSetUPin = 4;
constexpr int ImgSetKeyName = 11;
constexpr int ImgCertificates = 3;
constexpr int ImgUserFinger = 18;
constexpr int ImgRemoteUnlock = 22;

QTimer* makeTimer(QObject* parent, const char* name, int interval, bool singleShot)
{
    auto* t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    t->setSingleShot(singleShot);
    return t;
}
} // namespace

TDiscovery::TDiscovery(TProgramState& state, QWidget* mainWindow)
    : QObject(mainWindow), m_state(state), m_window(mainWindow), m_usb(new TUSB(this)),
      m_findUSBKey(makeTimer(this, "TFindUSBKey", 1000, false)),
      m_checkInit(makeTimer(this, "TCheckInit", 400, true)),
      m_closeProject(makeTimer(this, "TCloseProject", 500, true))
{
    setObjectName(QStringLiteral("Discovery"));
    connect(m_usb, &TUSB::arrived, this, &TDiscovery::onArrival);
    connect(m_usb, &TUSB::removed, this, &TDiscovery::onRemoval);
    connect(m_findUSBKey, &QTimer::timeout, this, &TDiscovery::onFindUSBKey);
    connect(m_checkInit, &QTimer::timeout, this, &TDiscovery::onCheckInit);
    connect(m_closeProject, &QTimer::timeout, this, &TDiscovery::onCloseProject);
    if (mainWindow)
        mainWindow->installEventFilter(this);
}

TDiscovery::~TDiscovery()
{
    stopLibrary();
}

bool TDiscovery::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Show && !m_startScheduled) {
        m_startScheduled = true;
        connectRefreshAction();
        // The start runs from the event loop once the window is on screen, not inside its show.
        QTimer::singleShot(300, this, &TDiscovery::startLibrary);
    }
    return QObject::eventFilter(watched, event);
}

void TDiscovery::connectRefreshAction()
{
    if (m_refreshAction || !m_window)
        return;
    m_refreshAction = m_window->findChild<QAction*>(QStringLiteral("AcFindKeyRefresh"));
    if (m_refreshAction)
        connect(m_refreshAction, &QAction::triggered, this, &TDiscovery::onFindKeyRefresh);
}

void TDiscovery::startLibrary()
{
    if (m_libraryStopped)
        return;
    connectRefreshAction();
    if (CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")) != 0) {
        m_libraryReady = false;
        m_closeProject->start();
    } else {
        m_libraryReady = true;
        refresh();
    }
    m_checkInit->start();
}

void TDiscovery::stopLibrary()
{
    if (m_libraryStopped)
        return;
    m_libraryStopped = true;
    m_libraryReady = false;
    m_findUSBKey->stop();
    m_checkInit->stop();
    delete m_usb;
    m_usb = nullptr;
    CerMgrApis::FreeTokenLibrary();
}

QTreeWidget* TDiscovery::tree() const
{
    return m_window ? m_window->findChild<QTreeWidget*>(QStringLiteral("tv")) : nullptr;
}

QTableWidget* TDiscovery::list() const
{
    return m_window ? m_window->findChild<QTableWidget*>(QStringLiteral("lv")) : nullptr;
}

void TDiscovery::showPage(int index)
{
    if (!m_window)
        return;
    QWidget* rpc = m_window->findChild<QWidget*>(QStringLiteral("RPC"));
    if (auto* tabs = qobject_cast<QTabWidget*>(rpc))
        tabs->setCurrentIndex(index);
    else if (auto* stack = qobject_cast<QStackedWidget*>(rpc))
        stack->setCurrentIndex(index);
}

bool TDiscovery::fingerFlag() const
{
    return m_state.skf && m_state.skf->fingerFlag();
}

void TDiscovery::setFingerFlag(bool on)
{
    if (m_state.skf)
        m_state.skf->setFingerFlag(on);
    if (!m_window)
        return;
    if (auto* action = m_window->findChild<QAction*>(QStringLiteral("AcFingerlogon")))
        action->setVisible(on);
}

void TDiscovery::addErrorNode(QTreeWidgetItem* root)
{
    if (root)
        new QTreeWidgetItem(root, QStringList(ResStrs::text("K_GetKeyInfo_Error")));
}

quint32 TDiscovery::refresh()
{
    if (m_refreshing)
        return RefreshBusy;
    m_refreshing = true;
    const quint32 status = [this] {
        // 1. Forget everything known about the tokens.
        m_state.loginState.fill(0);
        for (int i = 0; i < TProgramState::MaxTokens; ++i)
            m_state.TokenInfoTable[i] = TQ7Info{};

        // 2. Empty the list and the token part of the tree.
        if (QTableWidget* lv = list())
            lv->setRowCount(0);
        Q_EMIT loginsForgotten();
        QTreeWidget* tv = tree();
        QTreeWidgetItem* root = tv ? tv->topLevelItem(0) : nullptr;
        if (root)
            qDeleteAll(root->takeChildren());

        // 3. Find and connect.
        qint32 count = 0;
        const quint32 found = CerMgrApis::FindAndConnectTokens(count);
        m_state.tokenCount = qBound(0, count, TProgramState::MaxTokens);
        if (found != 0) {
            addErrorNode(root);
            if (root) {
                tv->expandRecursively(tv->indexFromItem(root));
                tv->setCurrentItem(root);
            }
            showPage(0);
            return found;
        }

        // 4. Read every token; token nodes only once all of them could be read.
        for (int i = 0; i < m_state.tokenCount; ++i) {
            const quint32 read = CerMgrApis::ReadTokenInfo(i, m_state.TokenInfoTable[i]);
            if (read != 0) {
                addErrorNode(root);
                return read;
            }
        }

        // 5. The fingerprint side follows the first token.
        setFingerFlag(false);
        waitResponsive(500);
        if (m_state.TokenInfoTable[0].FingerSupport > 0 && m_state.skf) {
            m_state.skf->LoadFingerDevices();
            setFingerFlag(true);
        }

        // 6. One subtree per token.
        if (root) {
            for (int i = 0; i < m_state.tokenCount; ++i) {
                auto* token =
                    new QTreeWidgetItem(root, QStringList(m_state.TokenInfoTable[i].Label.trimmed()));
                auto add = [token](const char* key, int image) {
                    auto* node = new QTreeWidgetItem(token, QStringList(ResStrs::text(key)));
                    TreeImages::setImage(node, image);
                };
                add("Main_Form_btn_SetUPIN", ImgSetUPin);
                add("Main_Form_btn_SetKeyName", ImgSetKeyName);
                add("Main_Form_Groupbox", ImgCertificates);
                if (fingerFlag())
                    add("F_User_Finger", ImgUserFinger);
                add("P_Remoteunlock", ImgRemoteUnlock);
                tv->expandRecursively(tv->indexFromItem(root));
                tv->expandRecursively(tv->indexFromItem(root->child(0)));
            }
            // 7. Select the token list.
            tv->setCurrentItem(root);
        }

        // 8. Nobody is logged in on the tokens just found.
        m_state.currentToken = 0;
        for (int i = 0; i < m_state.tokenCount; ++i)
            m_state.loginState[i] = 1;

        // 9. Show the first token.
        showKeyInfo(0);
        showPage(0);
        return quint32(0);
    }();
    m_refreshing = false;
    Q_EMIT refreshed(status);
    return status;
}

void TDiscovery::showKeyInfo(int token)
{
    if (token < 0 || token >= TProgramState::MaxTokens)
        return;
    if (CerMgrApis::ReadTokenInfo(token, m_state.TokenInfoTable[token]) != 0)
        return;
    CerMgrApis::ReadPinState(token, PinType::User, m_state.pinState);
    QList<KeyInfoRow> rows = keyInfoRows(m_state.TokenInfoTable[token], m_state.pinState);
    if (fingerFlag()) {
        // A record of our own: the fingerprint page keeps the binding's.
        TFingerInfo finger;
        const quint32 status =
            m_state.skf->GetFingerInfo(m_state.skf->currentApplication(), SKF_USER_TYPE, finger);
        rows += fingerInfoRows(status, finger.RetriesLeft, finger.EnrolledCount);
    }
    QTableWidget* lv = list();
    if (!lv)
        return;
    lv->setRowCount(0);
    lv->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        lv->setItem(r, 0, new QTableWidgetItem(rows[r].field));
        lv->setItem(r, 1, new QTableWidgetItem(rows[r].value));
    }
    lv->viewport()->update();
}

void TDiscovery::onArrival(TUSB* usb)
{
    if (!m_libraryReady || !isServedProductId(usb->productId()))
        return;
    m_countdown = 5;
    const QPointer<TDiscovery> alive(this);
    waitResponsive(100);
    if (alive && m_libraryReady)
        m_findUSBKey->start();
}

void TDiscovery::onRemoval(TUSB* usb)
{
    if (!m_libraryReady || !isServedProductId(usb->productId()))
        return;
    // While a refresh is rebuilding the table its entries are in flux; look again once it is done.
    bool allThere = !m_refreshing && m_state.tokenCount > 0;
    for (int i = 0; allThere && i < m_state.tokenCount; ++i)
        allThere = CerMgrApis::ReadTokenInfo(i, m_state.TokenInfoTable[i]) == 0;
    if (allThere)
        return;
    m_countdown = 2;
    m_findUSBKey->start();
}

void TDiscovery::onFindUSBKey()
{
    // A tick that finds a refresh still running waits for the next one without using up an attempt.
    if (m_refreshing)
        return;
    if (--m_countdown <= 0) {
        m_countdown = 0;
        m_findUSBKey->stop();
        return;
    }
    const QPointer<TDiscovery> alive(this);
    const quint32 status = refresh();
    if (!alive)
        return;
    if (status != 0) {
        closeImportDialog();
        return;
    }
    m_findUSBKey->stop();
    if (m_state.config.OpenMode == 1)
        openWebAddress(m_window, m_state.config.URL, m_state.config.BrowserMode);
    m_checkInit->start();
}

void TDiscovery::onCheckInit()
{
    m_checkInit->stop();
    for (int i = 0; i < m_state.tokenCount && i < TProgramState::MaxTokens; ++i) {
        if (m_state.TokenInfoTable[i].Initialized == 0) {
            DialogService::instance().information(m_window, ResStrs::text("Init_Info"));
            return;
        }
    }
}

void TDiscovery::onCloseProject()
{
    m_closeProject->stop();
    DialogService::instance().information(m_window, ResStrs::text("K_pkcs11Init_Error"));
    if (m_window)
        m_window->close();
}

void TDiscovery::onFindKeyRefresh()
{
    if (refresh() == 0)
        m_checkInit->start();
}

void TDiscovery::closeImportDialog()
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && (w->inherits("TIMForm") || w->objectName() == QLatin1String("IMForm")))
            w->close();
    }
}
