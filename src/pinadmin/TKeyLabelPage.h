#pragma once

#include "ui/TPage.h"

class QLineEdit;
struct TProgramState;

// Give the token a new label.
class TKeyLabelPage : public TPage
{
    Q_OBJECT
public:
    explicit TKeyLabelPage(TProgramState& state, QWidget* parent = nullptr);

    // The navigation offers the token's present label for editing.
    void setKeyName(const QString& label);

private:
    QLineEdit* m_edtKeyName;
};
