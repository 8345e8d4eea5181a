// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "token/KeySpec.h"
#include "ui/TPage.h"

#include <QString>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPoint;
class QProgressBar;
class QTimer;
class QTreeWidget;
class TCertImport;
class QTreeWidgetItem;
struct TProgramState;
struct TQ7CertInfo;

// The logged-in token's containers, certificates and key halves, with the certificate actions below
// them and in the tree's context menu: show, export and delete a certificate, delete a container,
// register the token's certificates in the certificate stores or remove them again, and log out.
class TCertPage : public TPage
{
    Q_OBJECT
public:
    // The certificate a subject node stands for.
    struct SelectedCertificate
    {
        int container = -1; // index in the current token's ContainerNames
        KeySpec keySpec = KeySpec::Signature;
        QString containerName;
    };

    explicit TCertPage(TProgramState& state, QWidget* parent = nullptr);
    ~TCertPage() override;

    QTreeWidget* tree() const { return m_tvCert; }
    QProgressBar* progressBar() const { return m_pbCert; }
    QMenu* contextMenu() const { return m_pmCertInfo; }
    // Reads the certificates again.
    QAction* refreshAction() const { return m_refresh; }
    QAction* importAction() const { return m_inputCert; }
    QTimer* registrationTimer() const { return m_regCert; }
    // The certificate import behind AcInputCert.
    TCertImport* importer() const { return m_import; }

    // Lists the current token's containers again and rebuilds the tree from what the token holds,
    // recording in ContainerCertFlags which certificates were read.
    void BuildCertificateTree();
    // Enables the show, export and delete actions for the selected node and the login state.
    void UpdateCertActions();
    // The certificate of the selected subject node; nothing for any other node.
    std::optional<SelectedCertificate> ResolveSelectedCertificate() const;
    // Reads one certificate of the current token and opens the viewer on it.
    void ShowCertificate(int container, KeySpec keySpec);
    // Registers the current token's certificates once, a moment later (after an import).
    void scheduleRegistration();

Q_SIGNALS:
    // The user logged out of the current token; its login state is already 1.
    void loggedOut();

private:
    void addCertificateNodes(QTreeWidgetItem* container, int token, int index, KeySpec keySpec,
                             TQ7CertInfo& cert);
    // The key halves of a usage whose certificate is gone, shown under the container after its
    // certificates, where no certificate action applies to them.
    void addKeyNodes(QTreeWidgetItem* container, int token, int index, KeySpec keySpec);
    int stateOfCurrentToken() const;
    bool currentTokenValid() const;
    int currentContainerCount() const;
    void showContextMenu(const QPoint& pos);

    void onRefresh();
    void onListCert();
    void onOutput();
    void onDelCert();
    void onDel();
    void onRegCert();
    void onUnRegCert();
    void onRegCertTimer();
    void onLogout();
    void onInputCert();
    void importEnded(bool wrote);
    // Shows the outcome of a deletion, and after a successful one brings the stores in step again.
    void finishDeletion(quint32 status);

    QTreeWidget* m_tvCert;
    QProgressBar* m_pbCert;
    QMenu* m_pmCertInfo;
    QTimer* m_regCert;
    TCertImport* m_import;
    QAction* m_refresh = nullptr;
    QAction* m_listCert = nullptr;
    QAction* m_regCertAction = nullptr;
    QAction* m_inputCert = nullptr;
    QAction* m_logout = nullptr;
    QAction* m_output = nullptr;
    QAction* m_unRegCert = nullptr;
    QAction* m_del = nullptr;
    QAction* m_delCert = nullptr;
    // One record for the whole tree build; it holds a whole certificate buffer.
    std::unique_ptr<TQ7CertInfo> m_cert;
};
