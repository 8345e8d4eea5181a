// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLineEdit;
class QSpinBox;
class QTabWidget;
struct TInitDefaults;
struct TProgramState;

// The values a token is initialized with, on four inner pages (base information, SO PIN,
// user PIN, fingerprint settings), and the initialize button.
class TInitPage : public TPage
{
    Q_OBJECT
public:
    explicit TInitPage(TProgramState& state, QWidget* parent = nullptr);

    QTabWidget* pageControl() const { return m_pcInit; }
    void setKeyName(const QString& label);
    QAction* initAction() const { return m_init; }

public Q_SLOTS:
    // Prefills the page from the defaults file; a file that is missing or unreadable changes nothing.
    void fill();
    // Initializes the current token with the page's values.
    void initialize();

Q_SIGNALS:
    // A token was initialized: the tokens are to be found again and the tree rebuilt.
    void initialized();

private:
    QLineEdit* text(const char* name) const;
    QSpinBox* spin(const char* name) const;
    TInitDefaults defaultsFromPage() const;

    QTabWidget* m_pcInit;
    QLineEdit* m_edtInitKeyName = nullptr;
    QAction* m_init = nullptr;
};
