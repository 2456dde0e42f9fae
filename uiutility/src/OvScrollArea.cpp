#include "OvUIUtility/OvScrollArea.h"

OvScrollArea::OvScrollArea(QWidget* parent) : OvScrollArea(QStringLiteral("OvScrollArea"), parent) {}

OvScrollArea::OvScrollArea(const QString& name, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(name);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    setWidgetResizable(true);
}

OvScrollArea::~OvScrollArea() = default;

void OvScrollArea::resetDefaultObjectName()
{
    setObjectName(QStringLiteral("OvScrollArea"));
}
