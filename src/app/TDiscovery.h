// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "app/PageId.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class QTableWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TUSB;
struct TProgramState;

// Device discovery for the main window: starts and stops the token manager library, finds and
// connects the tokens ("refresh"), keeps TokenInfoTable current, rebuilds the token part of the
// navigation tree, fills the key information list and follows the USB notifier's arrivals and
// removals through the retry timer TFindUSBKey.
//
// The window hands in the tree and the list it works on and carries out what discovery asks of it
// through the signals. Every wait is a timer whose interval comes from the state's timings.
class TDiscovery : public QObject
{
    Q_OBJECT
public:
    // `window` owns the messages discovery shows, and is closed when the library cannot start.
    TDiscovery(TProgramState& state, QWidget* window);
    ~TDiscovery() override;

    // The navigation tree (its first root holds the tokens) and the key information list.
    void setViews(QTreeWidget* tree, QTableWidget* list);

    TUSB* notifier() const { return m_usb; }
    bool libraryReady() const { return m_libraryReady; }
    bool refreshing() const { return m_refreshing; }

    // The library start the window's first showing schedules a little later.
    void startLibrary();
    // Releases the notifier and finalizes the library; later calls do nothing.
    void stopLibrary();

    // The key information page's refresh button: finds the tokens again and rebuilds everything
    // shown about them, then checks their initialization; `refreshed` reports the outcome. Does
    // nothing while another refresh is still running.
    void refreshFromButton();
    // Reads token `token` again and lists its properties; a failed read leaves the list as it was.
    void showKeyInfo(int token);
    // Shows a token's new label on its node at once, without listing the tokens again.
    void renameToken(int token, const QString& label);

Q_SIGNALS:
    // Every refresh ends with this, whatever started it: 0 on success, otherwise the failing status
    // (1 when no token is found).
    void refreshed(quint32 status);
    // The login states were just reset; the certificate actions depend on them.
    void loginsForgotten();
    void showPageRequested(PageId page);
    // The fingerprint side was switched on or off; the fingerprint login follows it.
    void fingerFlagChanged(bool on);
    // A retry found no token: a certificate import in progress has nothing to write to.
    void closeImportDialogRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Origin
    {
        Start,
        Button,
        Retry
    };
    void beginRefresh(Origin origin);
    void completeRefresh();
    void finishRefresh(quint32 status);

    void onArrival(TUSB* usb);
    void onRemoval(TUSB* usb);
    void onArrivalSettled();
    void onFindUSBKey();
    void onCheckInit();
    void onCloseProject();

    void rememberPlace();
    bool restorePlace();
    void addErrorNode(QTreeWidgetItem* root);
    bool fingerFlag() const;
    void setFingerFlag(bool on);
    QString nodeText(int token, const QString& label) const;
    QTreeWidgetItem* tokenRoot() const;

    TProgramState& m_state;
    QPointer<QWidget> m_window;
    QPointer<QTreeWidget> m_tree;
    QPointer<QTableWidget> m_list;
    TUSB* m_usb = nullptr;
    QTimer* m_libraryStart;
    QTimer* m_findUSBKey;
    QTimer* m_checkInit;
    QTimer* m_closeProject;
    QTimer* m_arrivalWait;
    QTimer* m_fingerSettle;
    Origin m_origin = Origin::Start;
    bool m_libraryReady = false;
    bool m_anyDevice = false; // a named PKCS#11 module: any USB device may carry its tokens
    bool m_libraryStopped = false;
    bool m_startScheduled = false;
    bool m_refreshing = false;
    // Where the user was when a refresh began: the token's serial number and the path from its node
    // to the selected node. A refresh that finds the token again puts the user back there.
    struct Place
    {
        QString serial;
        QList<int> path;
        bool loggedIn = false;
    };
    Place m_place;
    // Uninitialized tokens already named in the box since they arrived; a token that goes away is
    // named again when it comes back.
    QSet<QString> m_initTold;
    bool m_initBoxOpen = false;
    int m_countdown = 0;
};
