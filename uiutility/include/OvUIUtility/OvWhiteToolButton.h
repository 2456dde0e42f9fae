#pragma once

#include "OvToolButton.h"

// The light variant: dark arrow, grey text.
class OVUIUTILITY_EXPORT OvWhiteToolButton : public OvToolButton
{
    Q_OBJECT
public:
    explicit OvWhiteToolButton(QWidget* parent = nullptr);
    OvWhiteToolButton(const QString& name, QWidget* parent);
    ~OvWhiteToolButton() override;

    void resetDefaultObjectName();

protected:
    void paintEvent(QPaintEvent* event) override;
};
