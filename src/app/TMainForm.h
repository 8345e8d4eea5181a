// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "app/PageId.h"
#include "app/TNavigationPages.h"
#include "app/TNavigator.h"
#include "ui/TProgramState.h"

#include <QMainWindow>
#include <QPointer>
#include <QStackedWidget>

#include <array>

class QDialog;
class QLabel;
class TDiscovery;
class TPage;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// The tool's only top-level window: the banner, the navigation tree `tv` and the page control `RPC`
// with the fifteen pages. It owns the program-wide state, answers the inter-process commands and
// starts the companion monitor program.
class TMainForm : public QMainWindow, private TNavigationPages
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 674;
    static constexpr int ClientHeight = 432;
    static constexpr int BannerHeight = 85;
    static constexpr int TreeWidth = 220;
    // The initialization page's inner page with the fingerprint settings.
    static constexpr int InitFingerSettingsTab = 3;

    explicit TMainForm(const TStartOptions& options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    TProgramState& state() { return m_state; }
    TDiscovery* discovery() const { return m_discovery; }
    TPage* page(PageId id) const { return m_pages[size_t(id)]; }

    // The certificate import dialog while it is open: a retry that finds no token closes it.
    void setImportDialog(QDialog* dialog);

    // Clears the tree and adds the three roots: token list, system information, about.
    void buildRoots();

    // Handles one inter-process command: "CLOSE", "LoadCert" or "restore"; others are ignored.
    void handleCommand(const QString& command);

    // Runs the companion monitor program when it is in the application directory.
    void startMonitor();

Q_SIGNALS:
    // Navigation requests for pages whose subsystems carry them out.
    void systemReportRequested();
    void certificatesRequested();
    void loginFingerButtonsRequested();
    void userFingerNodeRequested();
    void fingerPageRequested(quint32 pinType);
    void initPageFillRequested(bool hideFingerSettings);
    void soLoginRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    template <typename Page> Page* page(PageId id) const { return qobject_cast<Page*>(page(id)); }
    void buildFrame();
    void createPages();
    void applyCreationSteps();
    void connectDiscovery();
    void setFingerLogonVisible(bool on);
    void applyCertificateSwitches();
    void loadBanner();
    void restoreWindow();
    void onSetFocusUPIN();
    void followCurrentToken();

    // TNavigationPages
    void showPage(PageId id) override;
    void buildSystemReport() override;
    void matchSkfApplication(const QString& serialNumber) override;
    void showKeyInfo(int token) override;
    void setKeyLabel(const QString& label) override;
    void loadCertificates() override;
    void prepareLogin(const QString& label) override;
    void showUserFingerNode() override;
    void showFingerPageFor(quint32 pinType) override;
    void fillInitPage(bool hideFingerSettings) override;
    void prepareSoLogin() override;

    TProgramState m_state;
    TNavigator m_navigator;
    QLabel* m_image1 = nullptr;
    QTreeWidget* m_tv = nullptr;
    QStackedWidget* m_rpc = nullptr;
    std::array<TPage*, PageCount> m_pages{};
    QPointer<QDialog> m_importDialog;
    // The token whose masked fields may hold typed text; another token empties them.
    QString m_fieldsToken;
    QTimer* m_setFocusUPIN = nullptr;
    TDiscovery* m_discovery = nullptr;
    bool m_centred = false;
};
