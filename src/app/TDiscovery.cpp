// SPDX-License-Identifier: BSD-3-Clause
#include "TDiscovery.h"

#include "app/AdminTreeNodes.h"
#include "app/KeyInfoRows.h"
#include "app/OpenWebAddress.h"
#include "app/TNavigator.h"
#include "app/TreeImages.h"
#include "app/USBPIDUnit.h"
#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/TProgramState.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

namespace {
constexpr int ImgSetUPin = 4;
constexpr int ImgSetKeyName = 11;
constexpr int ImgCertificates = 3;
constexpr int ImgUserFinger = 18;
constexpr int ImgRemoteUnlock = 22;

QTimer* makeTimer(QObject* parent, const char* name, bool singleShot)
{
    auto* t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setSingleShot(singleShot);
    return t;
}
} // namespace

TDiscovery::TDiscovery(TProgramState& state, QWidget* window)
    : QObject(window), m_state(state), m_window(window),
      m_usb(new TUSB(this, state.timings.virtualNoticePoll)),
      m_libraryStart(makeTimer(this, "TLibraryStart", true)),
      m_findUSBKey(makeTimer(this, "TFindUSBKey", false)), m_checkInit(makeTimer(this, "TCheckInit", true)),
      m_closeProject(makeTimer(this, "TCloseProject", true)),
      m_arrivalWait(makeTimer(this, "TArrivalWait", true)),
      m_fingerSettle(makeTimer(this, "TFingerSettle", true))
{
    setObjectName(QStringLiteral("Discovery"));
    connect(m_usb, &TUSB::arrived, this, &TDiscovery::onArrival);
    connect(m_usb, &TUSB::removed, this, &TDiscovery::onRemoval);
    connect(m_libraryStart, &QTimer::timeout, this, &TDiscovery::startLibrary);
    connect(m_findUSBKey, &QTimer::timeout, this, &TDiscovery::onFindUSBKey);
    connect(m_checkInit, &QTimer::timeout, this, &TDiscovery::onCheckInit);
    connect(m_closeProject, &QTimer::timeout, this, &TDiscovery::onCloseProject);
    connect(m_arrivalWait, &QTimer::timeout, this, &TDiscovery::onArrivalSettled);
    connect(m_fingerSettle, &QTimer::timeout, this, &TDiscovery::completeRefresh);
    if (window)
        window->installEventFilter(this);
}

TDiscovery::~TDiscovery()
{
    stopLibrary();
}

void TDiscovery::setViews(QTreeWidget* tree, QTableWidget* list)
{
    m_tree = tree;
    m_list = list;
}

bool TDiscovery::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Show && !m_startScheduled) {
        m_startScheduled = true;
        // The start runs from the event loop once the window is on screen, not inside its show.
        m_libraryStart->start(m_state.timings.libraryStart);
    }
    return QObject::eventFilter(watched, event);
}

void TDiscovery::startLibrary()
{
    if (m_libraryStopped)
        return;
    // --module names a PKCS#11 module for this run, the settings for every run, without editing a
    // language file.
    QString module = m_state.options.modulePath;
    if (module.isEmpty())
        module = m_state.config.PKCS11Module;
    if (module.isEmpty())
        module = ResStrs::text("PKCS11Name");
    // A named module serves readers and tokens of any make: every USB device's coming and going may
    // change its slot list, which the refresh then reads again.
    m_anyDevice = module != ResStrs::text("PKCS11Name");
    if (CerMgrApis::InitTokenLibrary(module) != 0) {
        m_libraryReady = false;
        m_closeProject->start(m_state.timings.closeProject);
        m_checkInit->start(m_state.timings.checkInit);
        return;
    }
    m_libraryReady = true;
    beginRefresh(Origin::Start);
}

void TDiscovery::stopLibrary()
{
    if (m_libraryStopped)
        return;
    m_libraryStopped = true;
    m_libraryReady = false;
    m_libraryStart->stop();
    m_findUSBKey->stop();
    m_checkInit->stop();
    m_arrivalWait->stop();
    // A refresh waiting for the fingerprint side ends here, unreported: the library is gone.
    m_fingerSettle->stop();
    m_refreshing = false;
    delete m_usb;
    m_usb = nullptr;
    CerMgrApis::FreeTokenLibrary();
}

void TDiscovery::renameToken(int token, const QString& label)
{
    QTreeWidgetItem* root = tokenRoot();
    if (root && token >= 0 && token < root->childCount())
        root->child(token)->setText(0, nodeText(token, label));
}

QString TDiscovery::nodeText(int token, const QString& label) const
{
    // A token without a label (one never initialized, say) is named by its serial number, or its model
    // when it has none either, rather than shown as an empty line.
    const TQ7Info& info = m_state.tokenInfo(token);
    for (const QString& text : {label.trimmed(), info.SerialNumber.trimmed(), info.Model.trimmed()})
        if (!text.isEmpty())
            return text;
    return QString();
}

QTreeWidgetItem* TDiscovery::tokenRoot() const
{
    return m_tree ? m_tree->topLevelItem(0) : nullptr;
}

bool TDiscovery::fingerFlag() const
{
    return m_state.sessions.fingerFlag();
}

void TDiscovery::setFingerFlag(bool on)
{
    if (TSkfBinding* skf = m_state.skf())
        skf->setFingerFlag(on);
    Q_EMIT fingerFlagChanged(on);
}

void TDiscovery::addErrorNode(QTreeWidgetItem* root)
{
    if (root)
        new QTreeWidgetItem(root, QStringList(ResStrs::text("K_GetKeyInfo_Error")));
}

void TDiscovery::refreshFromButton()
{
    if (!m_refreshing)
        beginRefresh(Origin::Button);
}

void TDiscovery::beginRefresh(Origin origin)
{
    m_refreshing = true;
    m_origin = origin;
    rememberPlace();

    // Forget everything known about the tokens, and empty the list and the token part of the tree.
    // Every session ends, and with it whatever the devices were authenticated for.
    m_state.sessions.reset(0);
    if (m_list)
        m_list->setRowCount(0);
    Q_EMIT loginsForgotten();
    QTreeWidgetItem* root = tokenRoot();
    if (root) {
        // Dropping the selected node must not navigate anywhere: the refresh decides the page.
        const QSignalBlocker quiet(m_tree);
        if (m_tree->currentItem() && m_tree->currentItem() != root &&
            TNavigator::level(m_tree->currentItem()) > 0)
            m_tree->setCurrentItem(root);
        qDeleteAll(root->takeChildren());
    }

    qint32 count = 0;
    const quint32 found = CerMgrApis::FindAndConnectTokens(count);
    m_state.sessions.reset(count);
    if (found != 0) {
        addErrorNode(root);
        if (root) {
            m_tree->expandRecursively(m_tree->indexFromItem(root));
            m_tree->setCurrentItem(root);
        }
        Q_EMIT showPageRequested(PageId::KeyInfo);
        finishRefresh(found);
        return;
    }

    // Token nodes only once every token could be read.
    for (int i = 0; i < m_state.tokenCount(); ++i) {
        const quint32 read = CerMgrApis::ReadTokenInfo(i, m_state.sessions.at(i)->info());
        if (read != 0) {
            addErrorNode(root);
            finishRefresh(read);
            return;
        }
    }

    // The fingerprint side follows the first token, once the device library has settled.
    setFingerFlag(false);
    m_fingerSettle->start(m_state.timings.fingerSettle);
}

void TDiscovery::completeRefresh()
{
    // Any token with a sensor turns the fingerprint side on; each token's own nodes follow its sensor.
    bool sensor = false;
    for (int i = 0; i < m_state.tokenCount(); ++i)
        sensor = sensor || m_state.sessions.at(i)->hasSensor();
    if (sensor && m_state.skf()) {
        m_state.skf()->LoadFingerDevices();
        setFingerFlag(true);
    }
    // Nobody is logged in on the tokens just found; each finds its own device when it needs it.
    m_state.sessions.found();

    if (QTreeWidgetItem* root = tokenRoot()) {
        for (int i = 0; i < m_state.tokenCount(); ++i) {
            const TTokenSession* session = m_state.sessions.at(i);
            auto* token = new QTreeWidgetItem(root, QStringList(nodeText(i, session->info().Label)));
            token->setData(0, TNavigator::PageRole, QVariant::fromValue(PageId::KeyInfo));
            auto add = [token](const char* key, int image, PageId page) {
                auto* node = new QTreeWidgetItem(token, QStringList(ResStrs::text(key)));
                TreeImages::setImage(node, image);
                node->setData(0, TNavigator::PageRole, QVariant::fromValue(page));
            };
            add("Main_Form_btn_SetUPIN", ImgSetUPin, PageId::UserPin);
            add("Main_Form_btn_SetKeyName", ImgSetKeyName, PageId::KeyLabel);
            add("Main_Form_Groupbox", ImgCertificates, PageId::Cert);
            if (fingerFlag() && session->hasSensor())
                add("F_User_Finger", ImgUserFinger, PageId::Finger);
            add("P_Remoteunlock", ImgRemoteUnlock, PageId::RemoteUnlock);
            if (m_state.options.admin)
                AdminTreeNodes::addTo(token, fingerFlag() && session->hasSensor());
            m_tree->expandRecursively(m_tree->indexFromItem(root));
            m_tree->expandRecursively(m_tree->indexFromItem(root->child(0)));
        }
    }

    if (restorePlace()) {
        finishRefresh(0);
        return;
    }
    // The user's token is gone (or there was none): the first one is shown.
    if (QTreeWidgetItem* root = tokenRoot())
        m_tree->setCurrentItem(root);
    m_state.sessions.setCurrent(0);
    showKeyInfo(0);
    Q_EMIT showPageRequested(PageId::KeyInfo);
    finishRefresh(0);
}

void TDiscovery::rememberPlace()
{
    m_place = Place{};
    QTreeWidgetItem* root = tokenRoot();
    if (!root || !m_tree)
        return;
    QList<int> path;
    for (QTreeWidgetItem* node = m_tree->currentItem(); node && node != root; node = node->parent()) {
        if (node->parent() == root) {
            const int token = root->indexOfChild(node);
            const TTokenSession* session = m_state.sessions.at(token);
            if (!session)
                return;
            m_place.serial = session->serialNumber();
            m_place.path = path;
            m_place.loggedIn = session->userLoggedIn();
            return;
        }
        if (!node->parent())
            return;
        path.prepend(node->parent()->indexOfChild(node));
    }
}

bool TDiscovery::restorePlace()
{
    QTreeWidgetItem* root = tokenRoot();
    if (m_place.serial.isEmpty() || !root)
        return false;
    int token = -1;
    for (int i = 0; i < m_state.tokenCount() && i < root->childCount(); ++i) {
        if (m_state.sessions.at(i)->serialNumber() == m_place.serial) {
            token = i;
            break;
        }
    }
    if (token < 0)
        return false;
    QTreeWidgetItem* node = root->child(token);
    for (int index : std::as_const(m_place.path)) {
        if (index < 0 || index >= node->childCount())
            break;
        node = node->child(index);
    }
    m_state.sessions.setCurrent(token);
    if (m_place.loggedIn) {
        // The refresh ended the login, so the page that needed it is opened afresh (the login page).
        m_tree->setCurrentItem(node);
    } else {
        // The page and what the user typed into it stay; only the selection follows the new node.
        const QSignalBlocker quiet(m_tree);
        m_tree->setCurrentItem(node);
    }
    showKeyInfo(token);
    return true;
}

void TDiscovery::finishRefresh(quint32 status)
{
    m_refreshing = false;
    // A token this refresh did not find has gone; when it is back it counts as a new arrival.
    QSet<QString> present;
    for (int i = 0; status == 0 && i < m_state.tokenCount(); ++i)
        present.insert(m_state.sessions.at(i)->serialNumber());
    m_initTold.intersect(present);
    const QPointer<TDiscovery> alive(this);
    Q_EMIT refreshed(status);
    if (!alive || m_libraryStopped)
        return;
    switch (m_origin) {
    case Origin::Start:
        m_checkInit->start(m_state.timings.checkInit);
        break;
    case Origin::Button:
        if (status == 0)
            m_checkInit->start(m_state.timings.checkInit);
        break;
    case Origin::Retry:
        if (status != 0) {
            Q_EMIT closeImportDialogRequested();
            break;
        }
        m_findUSBKey->stop();
        if (m_state.config.OpenMode == 1)
            openWebAddress(m_window, m_state.config.URL, m_state.config.BrowserMode);
        m_checkInit->start(m_state.timings.checkInit);
        break;
    }
}

void TDiscovery::showKeyInfo(int token)
{
    TTokenSession* session = m_state.sessions.at(token);
    if (!session)
        return;
    if (CerMgrApis::ReadTokenInfo(token, session->info()) != 0)
        return;
    CerMgrApis::ReadPinState(token, PinType::User, session->pinState());
    QList<KeyInfoRow> rows = keyInfoRows(session->info(), session->pinState());
    if (fingerFlag() && session->hasSensor()) {
        // A record of our own: the fingerprint page keeps the binding's. The token's own device
        // answers; without one the token shows no other token's fingers.
        TFingerInfo finger;
        const HAPPLICATION app = session->application();
        const quint32 status =
            app ? m_state.skf()->GetFingerInfo(app, SKF_USER_TYPE, finger) : quint32(SKF_NO_DEVICE);
        rows += fingerInfoRows(status, finger.RetriesLeft, finger.EnrolledCount);
    }
    if (!m_list)
        return;
    m_list->setRowCount(0);
    m_list->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        m_list->setItem(r, 0, new QTableWidgetItem(rows[r].field));
        m_list->setItem(r, 1, new QTableWidgetItem(rows[r].value));
    }
    m_list->viewport()->update();
}

void TDiscovery::onArrival(TUSB* usb)
{
    if (!m_libraryReady || !(m_anyDevice || isServedProductId(usb->productId())))
        return;
    m_countdown = 5;
    m_arrivalWait->start(m_state.timings.arrivalWait);
}

void TDiscovery::onArrivalSettled()
{
    if (m_libraryReady)
        m_findUSBKey->start(m_state.timings.findUSBKey);
}

void TDiscovery::onRemoval(TUSB* usb)
{
    if (!m_libraryReady || !(m_anyDevice || isServedProductId(usb->productId())))
        return;
    // While a refresh is rebuilding the table its entries are in flux; look again once it is done.
    bool allThere = !m_refreshing && m_state.tokenCount() > 0;
    for (int i = 0; !m_refreshing && i < m_state.tokenCount(); ++i) {
        TTokenSession* session = m_state.sessions.at(i);
        const quint32 read = CerMgrApis::ReadTokenInfo(i, session->info());
        // A token pulled out ends its session at once: nothing is sent in its name until the
        // refresh has found the tokens again.
        if (read == TokenStatus::TokenRemoved || read == TokenStatus::NoSuchSlot)
            session->markRemoved();
        allThere = allThere && read == 0;
    }
    if (allThere)
        return;
    m_countdown = 2;
    m_findUSBKey->start(m_state.timings.findUSBKey);
}

void TDiscovery::onFindUSBKey()
{
    // A tick that finds a refresh, or a worker writing to a token, still running waits for the next one
    // without using up an attempt.
    if (m_refreshing || m_state.tokenWorkRunning)
        return;
    if (--m_countdown <= 0) {
        m_countdown = 0;
        m_findUSBKey->stop();
        return;
    }
    beginRefresh(Origin::Retry);
}

void TDiscovery::onCheckInit()
{
    m_checkInit->stop();
    // One box at a time: a refresh while it is open names its tokens once it is closed.
    if (m_initBoxOpen)
        return;
    QStringList newlyFound;
    for (int i = 0; i < m_state.tokenCount(); ++i) {
        const TQ7Info& token = m_state.tokenInfo(i);
        if (token.Initialized == 0 && !m_initTold.contains(token.SerialNumber))
            newlyFound << token.SerialNumber;
    }
    if (newlyFound.isEmpty())
        return;
    for (const QString& serial : std::as_const(newlyFound))
        m_initTold.insert(serial);
    m_initBoxOpen = true;
    const QPointer<TDiscovery> alive(this);
    Messages::information(m_window, ResStrs::text("Init_Info") + QLatin1Char('\n') +
                                        newlyFound.join(QStringLiteral(", ")));
    if (alive)
        m_initBoxOpen = false;
}

void TDiscovery::onCloseProject()
{
    m_closeProject->stop();
    Messages::information(m_window, ResStrs::text("K_pkcs11Init_Error"));
    if (m_window)
        m_window->close();
}
