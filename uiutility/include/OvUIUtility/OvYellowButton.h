#pragma once

#include "OvButton.h"

// Styled by "#OvYellowButton" and the "type" property (OvYellowButton[type="..."]).
class OVUIUTILITY_EXPORT OvYellowButton : public OvButton
{
public:
    explicit OvYellowButton(QWidget* parent = nullptr, const QString& type = QString());
    ~OvYellowButton() override;

    // Sets "type" and re-polishes so that the style follows at once.
    void setType(const QString& type);
    void resetDefaultObjectName();
    static QString objectName();
};
