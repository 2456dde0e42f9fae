#include "cg/OvCGCustomLabel.h"

#include <QMouseEvent>

OvCGCustomLabel::OvCGCustomLabel(QWidget* parent) : OvLabel(parent)
{
    setMouseTracking(true);
}

OvCGCustomLabel::~OvCGCustomLabel() = default;

void OvCGCustomLabel::setListWidgetItem(QListWidgetItem* item)
{
    m_item = item;
}

void OvCGCustomLabel::mouseMoveEvent(QMouseEvent* e)
{
    emit mouseMove(mapToParent(e->pos()));
}
