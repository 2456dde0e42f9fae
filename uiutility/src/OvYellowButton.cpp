#include "OvUIUtility/OvYellowButton.h"

#include "OvUIUtility/OvRepolish.h"

OvYellowButton::OvYellowButton(QWidget* parent, const QString& type) : OvButton(objectName(), parent)
{
    // No property at all for an empty type, so `[type=""]` never matches by accident.
    if (!type.isEmpty())
        setProperty("type", type);
}

OvYellowButton::~OvYellowButton() = default;

void OvYellowButton::setType(const QString& type)
{
    OvRepolish::setStyleProperty(this, "type", type);
}

void OvYellowButton::resetDefaultObjectName()
{
    setObjectName(objectName());
}

QString OvYellowButton::objectName()
{
    return QStringLiteral("OvYellowButton");
}
