#pragma once

#include "ovuiutility_global.h"

#include <QString>
#include <QVariant>

class QWidget;

// Style sheets select on dynamic properties ("type" above all) only when a
// widget is polished, so a changed property needs the widget re-polished to show.
namespace OvRepolish {

// Re-polishes the widget so the style sheet applies to its present properties.
OVUIUTILITY_EXPORT void repolish(QWidget* widget);

// Sets a property the style sheet selects on and re-polishes at once.
OVUIUTILITY_EXPORT void setStyleProperty(QWidget* widget, const char* name, const QVariant& value);

// The same for views that refresh often: nothing happens when the value is
// unchanged, and a widget not polished yet picks the value up on its first
// polish, so a freshly built widget is polished once.
OVUIUTILITY_EXPORT void updateStyleProperty(QWidget* widget, const char* name, const QVariant& value);

// The "type" property, the system's one style state, as views refresh it.
inline void setType(QWidget* widget, const QString& type)
{
    updateStyleProperty(widget, "type", type);
}

}  // namespace OvRepolish
