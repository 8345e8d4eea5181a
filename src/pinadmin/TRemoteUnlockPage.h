#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Unlock the user PIN by challenge and response.
class TRemoteUnlockPage : public TPage
{
    Q_OBJECT
public:
    explicit TRemoteUnlockPage(TProgramState& state, QWidget* parent = nullptr);
};
