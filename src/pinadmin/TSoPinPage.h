#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Change the SO PIN.
class TSoPinPage : public TPage
{
    Q_OBJECT
public:
    explicit TSoPinPage(TProgramState& state, QWidget* parent = nullptr);
};
