#include "OvUIUtility/OvWhiteToolButton.h"

OvWhiteToolButton::OvWhiteToolButton(QWidget* parent) : OvWhiteToolButton(QStringLiteral("OvWhiteToolButton"), parent)
{
}

OvWhiteToolButton::OvWhiteToolButton(const QString& name, QWidget* parent) : OvToolButton(name, parent) {}

OvWhiteToolButton::~OvWhiteToolButton() = default;

void OvWhiteToolButton::resetDefaultObjectName()
{
    setObjectName(QStringLiteral("OvWhiteToolButton"));
}

void OvWhiteToolButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    drawArrow(QStringLiteral(":/icon/resources/images/black_down_arrow.png"));
    drawText(QColor(QStringLiteral("#a6a6a6")));
}
