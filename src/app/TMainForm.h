#pragma once

#include "app/TNavigationPages.h"
#include "app/TNavigator.h"
#include "app/TProgramState.h"

#include <QMainWindow>
#include <QStackedWidget>

class QLabel;
class TDiscovery;
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
    static constexpr int PageCount = 15;
    // The page control's pages by index.
    static constexpr int KeyInfoPage = 0;
    static constexpr int KeyLabelPage = 2;
    static constexpr int LoginPage = 3;
    static constexpr int CertPage = 4;
    static constexpr int SystemPage = 5;
    static constexpr int InitPage = 7;
    static constexpr int FingerPage = 11;
    static constexpr int SoLoginPage = 13;
    // The initialization page's inner page with the fingerprint settings.
    static constexpr int InitFingerSettingsTab = 3;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TProgramState& state() { return m_state; }
    TDiscovery* discovery() const { return m_discovery; }

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
    template <typename Page> Page* page(int index) const { return qobject_cast<Page*>(m_rpc->widget(index)); }
    void buildFrame();
    void createPages();
    void applyCreationSteps();
    void applyCertificateSwitches();
    void loadBanner();
    void restoreWindow();
    void onSetFocusUPIN();

    // TNavigationPages
    void showPage(int index) override;
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
    QTimer* m_setFocusUPIN = nullptr;
    TDiscovery* m_discovery = nullptr;
    bool m_centred = false;
};
