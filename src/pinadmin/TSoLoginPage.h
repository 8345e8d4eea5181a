#pragma once

#include "ui/TPage.h"

class QLabel;
struct TProgramState;

// Administrator login with the SO PIN (or by fingerprint) for the fingerprint
// administration.
class TSoLoginPage : public TPage
{
    Q_OBJECT
public:
    explicit TSoLoginPage(TProgramState& state, QWidget* parent = nullptr);

    // The label of the token the administrator is about to log in to.
    void setKeyName(const QString& label);

private:
    QLabel* m_lFingerKeyName;
};
