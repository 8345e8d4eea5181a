#pragma once

#include <QObject>
#include <QPointer>

class QAction;
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
// It finds the window's widgets by name when it needs them (`tv`, `RPC`, `lv`, `AcFindKeyRefresh`,
// `AcFingerlogon`), so it does not depend on the order in which the window builds them.
class TDiscovery : public QObject
{
    Q_OBJECT
public:
    // Status of a refresh asked for while another one is still running.
    static constexpr quint32 RefreshBusy = 0xFFFFFFFF;

    TDiscovery(TProgramState& state, QWidget* mainWindow);
    ~TDiscovery() override;

    TUSB* notifier() const { return m_usb; }
    bool libraryReady() const { return m_libraryReady; }
    int countdown() const { return m_countdown; }

    // The library start the window's first showing schedules 300 ms later.
    void startLibrary();
    // Releases the notifier and finalizes the library; later calls do nothing.
    void stopLibrary();

    // Finds the tokens again and rebuilds everything shown about them. 0 on success, otherwise the
    // failing status (1 when no token is found).
    quint32 refresh();
    // Reads token `token` again and lists its properties; a failed read leaves the list as it was.
    void showKeyInfo(int token);

Q_SIGNALS:
    // Every refresh ends with this, whatever started it.
    void refreshed(quint32 status);
    // The login states were just reset; the certificate actions depend on them.
    void loginsForgotten();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onArrival(TUSB* usb);
    void onRemoval(TUSB* usb);
    void onFindUSBKey();
    void onCheckInit();
    void onCloseProject();
    void onFindKeyRefresh();

    void addErrorNode(QTreeWidgetItem* root);
    void showPage(int index);
    bool fingerFlag() const;
    // Sets the finger flag and shows or hides the fingerprint login with it.
    void setFingerFlag(bool on);
    void closeImportDialog();
    void connectRefreshAction();

    QTreeWidget* tree() const;
    QTableWidget* list() const;

    TProgramState& m_state;
    QPointer<QWidget> m_window;
    TUSB* m_usb = nullptr;
    QTimer* m_findUSBKey;
    QTimer* m_checkInit;
    QTimer* m_closeProject;
    QPointer<QAction> m_refreshAction;
    bool m_libraryReady = false;
    bool m_libraryStopped = false;
    bool m_startScheduled = false;
    bool m_refreshing = false;
    int m_countdown = 0;
};
