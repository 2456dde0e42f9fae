#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

// The console's settings file (config.ini beside the program, read only) and the
// per-widget style sheets of the qss folder beside the program.

// The value of group/key in the INI file at path, as text; empty when the file
// or the key is missing. A value with unquoted commas is the text as written.
QString readConfigValue(const QString& path, const QString& group, const QString& key);

// The TCP port offered in the login dialog: 19999 when unset, 0 when not a number.
int readConfigPort();

// The password offered in the login dialog: "580317" when unset.
QString readConfigPassword();

// Whether a lost connection is tried again by itself: "true" turns it on;
// absent or anything else leaves it off.
bool readConfigReconnect();

// The language of the operator's texts: "en" for English; empty (Chinese, the
// texts as written) when absent, "zh_CN" or anything unknown.
QString readConfigLanguage();

// The OSC remote control: the UDP port it listens on (0, absent or not a port:
// off), the address it binds ("127.0.0.1" unless given) and where the tally
// goes ("host:port", empty: nowhere).
int readConfigOscPort();
QString readConfigOscAddress();
QString readConfigOscFeedback();

// The remote API (WebSocket): the TCP port (0, absent or not a port: off),
// the address it binds ("127.0.0.1" unless given), the token clients
// authenticate with, and the web origins allowed in (comma-separated).
int readConfigApiPort();
QString readConfigApiAddress();
QString readConfigApiToken();
QStringList readConfigApiOrigins();
// Where the TSL UMD tally goes ("host:port"); empty: nowhere.
QString readConfigTslTarget();

// The double-press guard of takes in ms: 300 unless given, 0 turns it off;
// anything but a number from 0 to 10000 keeps 300.
int readConfigTakeGuardMs();

// GO also puts the cue after the taken one on PVW: "true" turns it on.
bool readConfigCuePreview();

// The [KEYS] group: each key present, with its text as written.
QHash<QString, QString> readConfigKeys();

// Sets <program folder>/qss/<name> as the widget's own style sheet; a missing or
// unreadable file leaves the widget as it was.
void applyStyleSheet(QWidget* widget, const QString& name);
