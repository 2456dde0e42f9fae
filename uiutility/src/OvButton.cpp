#include "OvUIUtility/OvButton.h"

OvButton::OvButton(QWidget* parent) : OvButton(QStringLiteral("OvButton"), parent) {}

OvButton::OvButton(const QString& name, QWidget* parent) : QPushButton(parent)
{
    setObjectName(name);
    setFlat(true);
    setAutoFillBackground(true);
}

OvButton::~OvButton() = default;

void OvButton::resetDefaultObjectName()
{
    setObjectName(QStringLiteral("OvButton"));
}
