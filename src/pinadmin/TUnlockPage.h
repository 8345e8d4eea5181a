#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Reset a blocked user PIN with the SO PIN.
class TUnlockPage : public TPage
{
    Q_OBJECT
public:
    explicit TUnlockPage(TProgramState& state, QWidget* parent = nullptr);
};
