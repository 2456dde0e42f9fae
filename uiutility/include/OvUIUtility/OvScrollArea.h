#pragma once

#include "ovuiutility_global.h"

#include <QScrollArea>

// A frameless scroll area without scroll bars: scrolling is left to the wheel
// or to code. Its widget follows the area's size.
class OVUIUTILITY_EXPORT OvScrollArea : public QScrollArea
{
public:
    explicit OvScrollArea(QWidget* parent = nullptr);
    OvScrollArea(const QString& name, QWidget* parent);
    ~OvScrollArea() override;

    void resetDefaultObjectName();
};
