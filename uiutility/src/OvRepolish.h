#pragma once
// Internal: style sheet selectors on dynamic properties are evaluated at polish
// time only, so a property change needs the widget re-polished to show.

#include <QVariant>
#include <QWidget>

namespace OvRepolish {
inline void setPropertyAndRepolish(QWidget* widget, const char* name, const QVariant& value)
{
    widget->setProperty(name, value);
    widget->setStyle(widget->style());
}
}  // namespace OvRepolish
