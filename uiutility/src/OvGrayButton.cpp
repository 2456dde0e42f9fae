#include "OvUIUtility/OvGrayButton.h"

#include "OvUIUtility/OvRepolish.h"

OvGrayButton::OvGrayButton(QWidget* parent, const QString& type) : OvButton(objectName(), parent)
{
    // No property at all for an empty type, so `[type=""]` never matches by accident.
    if (!type.isEmpty())
        setProperty("type", type);
}

OvGrayButton::~OvGrayButton() = default;

void OvGrayButton::setType(const QString& type)
{
    OvRepolish::setStyleProperty(this, "type", type);
}

void OvGrayButton::resetDefaultObjectName()
{
    setObjectName(objectName());
}

QString OvGrayButton::objectName()
{
    return QStringLiteral("OvGrayButton");
}
