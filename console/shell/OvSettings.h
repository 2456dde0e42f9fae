#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// The console's settings beyond the login dialog's port and password, read
// once at start from config.ini beside the program (the console never writes
// it) and handed to whoever needs them. Every key is described once in
// keys(): its group, name, kind, default and bounds. A value that does not
// fit keeps the default, and problems() holds one line naming the key; an
// unknown key in [CONFIG] is named too, since a misspelt one otherwise looks
// like a setting ignored.
class QHostAddress;

class OvSettings
{
    Q_DECLARE_TR_FUNCTIONS(OvSettings)

public:
    enum class Kind {
        Flag,       // true or false
        Number,     // a whole number within [min, max]
        Address,    // a numeric IP address
        HostPort,   // "address:port" with a numeric address; empty: none
        Text,       // as written
        List,       // comma-separated, blanks around each dropped
        Language,   // en or zh_CN
        Key,        // a key in Qt's portable text, checked by the key map
    };

    struct KeyInfo
    {
        const char* group;
        const char* name;
        Kind kind;
        const char* defaultText;
        int min = 0;
        int max = 0;
    };

    // Every key, in the order the packaged config.ini and the help list them.
    static const QVector<KeyInfo>& keys();

    // The defaults, as when config.ini is absent.
    OvSettings();
    // Reads path (a missing file gives the defaults).
    static OvSettings fromFile(const QString& path);
    // config.ini beside the program.
    static QString defaultPath();

    // The value of group/key in the INI file at path, as text; empty when the
    // file or the key is missing. A value with unquoted commas is the text as
    // written (the INI reader would make a list of it).
    static QString readValue(const QString& path, const QString& group, const QString& key);
    // "host:port" with a numeric address (IPv6 in brackets or not); false when
    // the text is no such thing. Either output may be null.
    static bool parseHostPort(const QString& text, QHostAddress* host, quint16* port);

    // One line per value that did not fit or key not known, worded when
    // asked (the translator is loaded after the file is read).
    QStringList problems() const;

    bool reconnect() const { return flag("reconnect"); }
    // "en", or empty for Chinese (the texts as written).
    QString language() const;
    int oscPort() const { return number("osc_port"); }
    QString oscAddress() const { return text("osc_address"); }
    QString oscFeedback() const { return text("osc_feedback"); }
    int apiPort() const { return number("api_port"); }
    QString apiAddress() const { return text("api_address"); }
    QString apiToken() const { return text("api_token"); }
    QString apiViewToken() const { return text("api_view_token"); }
    QStringList apiOrigins() const { return list("api_origins"); }
    QStringList apiHosts() const { return list("api_hosts"); }
    QString tslTarget() const { return text("tsl_target"); }
    int takeGuardMs() const { return number("take_guard_ms"); }
    bool cuePreview() const { return flag("cue_preview"); }
    // [KEYS]: each key given, with its text as written.
    QHash<QString, QString> keyTexts() const { return m_keyTexts; }

    // Sets one value as if read from the file (tests, and a value checked
    // elsewhere); false, with a problem line, when it does not fit.
    bool set(const char* name, const QString& text);

private:
    static const KeyInfo* info(const QString& group, const QString& name);
    bool flag(const char* name) const;
    int number(const char* name) const;
    QString text(const char* name) const;
    QStringList list(const char* name) const;

    // Values by name, already checked against their kind.
    QHash<QString, QString> m_values;
    QHash<QString, QString> m_keyTexts;
    struct Problem
    {
        QString key;
        QString given;  // empty: the key is unknown
        QString kept;
    };
    QList<Problem> m_problems;
};
