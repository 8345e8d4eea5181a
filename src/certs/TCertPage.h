#pragma once

#include "ui/TPage.h"

class QAction;
class QMenu;
class QProgressBar;
class QTreeWidget;
struct TProgramState;

// The logged-in token's containers, certificates and key halves, with the certificate
// actions below them and in the tree's context menu.
class TCertPage : public TPage
{
    Q_OBJECT
public:
    explicit TCertPage(TProgramState& state, QWidget* parent = nullptr);

    QTreeWidget* tree() const { return m_tvCert; }
    QProgressBar* progressBar() const { return m_pbCert; }
    QMenu* contextMenu() const { return m_pmCertInfo; }
    // Reads the certificates again.
    QAction* refreshAction() const { return m_refresh; }

private:
    QTreeWidget* m_tvCert;
    QProgressBar* m_pbCert;
    QMenu* m_pmCertInfo;
    QAction* m_refresh = nullptr;
};
