#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Change the user PIN, knowing the old one.
class TUserPinPage : public TPage
{
    Q_OBJECT
public:
    explicit TUserPinPage(TProgramState& state, QWidget* parent = nullptr);
};
