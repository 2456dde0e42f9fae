#pragma once

#include "OvButton.h"

// Styled by "#OvGrayButton" and the "type" property (OvGrayButton[type="..."]).
class OVUIUTILITY_EXPORT OvGrayButton : public OvButton
{
public:
    explicit OvGrayButton(QWidget* parent = nullptr, const QString& type = QString());
    ~OvGrayButton() override;

    // Sets "type" and re-polishes so that the style follows at once.
    void setType(const QString& type);
    void resetDefaultObjectName();
    static QString objectName();
};
