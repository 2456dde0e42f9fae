#pragma once
// The widget kit's start-up services and the umbrella include for its classes.

#include "ovuiutility_global.h"

#include <QString>

// Plain, unmangled names so that a host can also find them by symbol name.
extern "C" {
// Applies <program folder>/qss/<name> as the application style sheet; an empty
// name means "default.qss". A missing or unreadable file keeps the sheet in force.
OVUIUTILITY_EXPORT void loadStyleSheet(const QString& name);

// Installs every *.qm of <program folder>/language/<language>/, in name order,
// after removing those an earlier call installed. An empty language means the
// system locale's language name. A missing folder changes nothing.
OVUIUTILITY_EXPORT void loadTranslator(const QString& language);
}
