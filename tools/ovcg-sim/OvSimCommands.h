#pragma once

#include <QObject>
#include <QStringList>

class OvSimDiscovery;
class OvSimServer;
class OvSimConsoleLink;

// The operator's line commands, from standard input or the control socket.
// Each command yields its reply lines: any detail lines first (indented by two
// blanks), then one line beginning with "ok" or "error", which ends the reply.
class OvSimCommands : public QObject
{
    Q_OBJECT
public:
    OvSimCommands(OvSimServer* server, OvSimDiscovery* discovery, QObject* parent = nullptr);

    QStringList execute(const QString& line);

    static QString helpText();
    // Splits a line into words; double quotes group words, \" and \\ escape.
    static QStringList tokenize(const QString& line, bool* ok);

signals:
    void quitRequested();

private:
    QStringList runList() const;
    QStringList runConsoles() const;
    QString runAdd(const QStringList& args);
    QString runRename(const QStringList& args);
    QString runMove(const QStringList& args);
    QString runRemove(const QStringList& args);
    QString runStatus(const QStringList& args);
    QString runImage(const QStringList& args);
    QString runKick(const QStringList& args);
    QString runCode(const QStringList& args);
    QString runGarbage(const QStringList& args);
    QString runOversize(const QStringList& args);
    QString runLoginDelay(const QStringList& args);
    QString runIgnoreLogin(const QStringList& args);
    QString runClose(const QStringList& args);
    QString runAccount(const QStringList& args);
    QString runHold(const QStringList& args);
    QString runStopReading(const QStringList& args);
    QString runRepeatLogin(const QStringList& args);
    QString runFlood(const QStringList& args);

    int item(const QString& ref, QString* error) const;
    QList<OvSimConsoleLink*> targets(const QStringList& args, int at, QString* error) const;

    OvSimServer* const m_server;
    OvSimDiscovery* const m_discovery;
};
