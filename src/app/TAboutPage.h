#pragma once

#include "ui/TPage.h"

struct TProgramState;

// A built-in picture (Image5) above the picture named by the catalog (Image6).
class TAboutPage : public TPage
{
    Q_OBJECT
public:
    explicit TAboutPage(TProgramState& state, QWidget* parent = nullptr);
};
