#include "OvUIUtility/OvRepolish.h"

#include <QStyle>
#include <QWidget>

namespace OvRepolish {

void repolish(QWidget* widget)
{
    widget->setStyle(widget->style());
}

void setStyleProperty(QWidget* widget, const char* name, const QVariant& value)
{
    widget->setProperty(name, value);
    repolish(widget);
}

void updateStyleProperty(QWidget* widget, const char* name, const QVariant& value)
{
    const QVariant old = widget->property(name);
    if (old.isValid() && old == value)
        return;
    widget->setProperty(name, value);
    if (widget->testAttribute(Qt::WA_WState_Polished))
        repolish(widget);
}

}  // namespace OvRepolish
