#pragma once

#include "ovuiutility_global.h"

#include <QPushButton>

// A flat push button styled by object name ("OvButton" unless given).
class OVUIUTILITY_EXPORT OvButton : public QPushButton
{
    Q_OBJECT
public:
    explicit OvButton(QWidget* parent = nullptr);
    OvButton(const QString& name, QWidget* parent);
    ~OvButton() override;

    void resetDefaultObjectName();
};
