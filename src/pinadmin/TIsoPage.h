#pragma once

#include "ui/TPage.h"

struct TProgramState;

// Write an ISO image into the token's CD-ROM partition.
class TIsoPage : public TPage
{
    Q_OBJECT
public:
    explicit TIsoPage(TProgramState& state, QWidget* parent = nullptr);
};
