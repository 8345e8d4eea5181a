#pragma once

#include "app/TProgramState.h"

#include <QMainWindow>

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    TProgramState& state() { return m_state; }

private:
    TProgramState m_state;
};
