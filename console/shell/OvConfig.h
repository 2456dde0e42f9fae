#pragma once

#include <QString>

class QWidget;

// The login dialog's settings in config.ini beside the program (read only;
// everything else in the file is read once, by OvSettings) and the
// per-widget style sheets of the qss folder beside the program.

// The value of group/key in the INI file at path, as text; empty when the file
// or the key is missing. A value with unquoted commas is the text as written.
QString readConfigValue(const QString& path, const QString& group, const QString& key);

// The TCP port offered in the login dialog: 19999 when unset, 0 when not a number.
int readConfigPort();

// The password offered in the login dialog: "580317" when unset.
QString readConfigPassword();

// Sets <program folder>/qss/<name> as the widget's own style sheet; a missing or
// unreadable file leaves the widget as it was.
void applyStyleSheet(QWidget* widget, const QString& name);
