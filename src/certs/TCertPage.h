#pragma once

#include <QWidget>

class QMenu;
class QProgressBar;
class QTreeWidget;
struct TProgramState;

// Page 4: the logged-in token's containers, certificates and key halves, with the certificate
// actions below them and in the tree's context menu.
class TCertPage : public QWidget
{
    Q_OBJECT
public:
    explicit TCertPage(TProgramState& state, QWidget* parent = nullptr);

    QTreeWidget* tree() const { return m_tvCert; }
    QProgressBar* progressBar() const { return m_pbCert; }
    QMenu* contextMenu() const { return m_pmCertInfo; }

private:
    [[maybe_unused]] TProgramState& m_state;
    QTreeWidget* m_tvCert;
    QProgressBar* m_pbCert;
    QMenu* m_pmCertInfo;
};
