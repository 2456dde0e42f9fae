#pragma once

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>

#include "OvSimCatalogue.h"

class OvSimConsoleLink;
class QTcpServer;

// The server side of the console protocol: logins, the catalogue, heartbeats,
// publish requests turned into notifications for every console, and the
// operator's means of changing things and of misbehaving on purpose.
class OvSimServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kGraceMs = 3000;
    // Answer to a request that is missing its login; it is the protocol's code
    // for "not logged in".
    static constexpr int kCodeNotLoggedIn = -4;
    // Answer to a wrong password: the protocol's "remote refused" code.
    static constexpr int kCodeRefused = -2;
    static constexpr int kCodeUnknownCommand = -10;

    explicit OvSimServer(QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    QHostAddress address() const;

    OvSimCatalogue& catalogue() { return m_catalogue; }
    void setPassword(const QString& password) { m_password = password; }
    void setLoginDelay(int ms) { m_loginDelayMs = ms; }
    int loginDelay() const { return m_loginDelayMs; }
    void setIgnoreLogin(bool ignore) { m_ignoreLogin = ignore; }
    bool ignoreLogin() const { return m_ignoreLogin; }
    // The next request of cmd gets this code; a negative one refuses it.
    void setPendingCode(const QString& cmd, int code) { m_pendingCodes.insert(cmd, code); }
    int loggedInCount() const;

    QList<OvSimConsoleLink*> links() const { return m_links.values(); }
    OvSimConsoleLink* link(int id) const { return m_links.value(id); }

    // Changes made by the operator of the simulator; each is announced to every
    // logged-in console with the simulator as operator.
    void renameItem(int index, const QString& name);
    void moveItem(int from, int to);
    void removeItem(int index);
    const OvSimItem& addItem(const QString& name, const QColor& colour);
    void setItemStatus(int index, int status);
    void setItemImage(int index, const QByteArray& png);

    void kick(OvSimConsoleLink* link, int kickType);
    // While held, publish requests wait unanswered (a console keeps showing its
    // "sending" state); releasing answers them in the order they came.
    void setHoldUpdates(bool hold);
    bool holdUpdates() const { return m_holdUpdates; }
    void closeAll();

private:
    void onNewConnection();
    void onMessage(OvSimConsoleLink* link, const QJsonObject& message);
    void onLinkClosed(OvSimConsoleLink* link);
    void handleLogin(OvSimConsoleLink* link, const QJsonObject& value, int code);
    void finishLogin(OvSimConsoleLink* link, const QJsonObject& value, int code);
    void handleUpdate(OvSimConsoleLink* link, const QJsonObject& value, int code);
    void respond(OvSimConsoleLink* link, const QString& cmd, int code, const QString& info,
                 const QJsonObject& value = {});
    void notifyAll(const QString& target, int type, const QJsonObject& value, const QJsonObject& op);
    void notifyConnection(OvSimConsoleLink* subject, int connectType);
    QJsonObject simulatorOperator() const;

    QTcpServer* m_server;
    OvSimCatalogue m_catalogue;
    QMap<int, OvSimConsoleLink*> m_links;
    QHash<QString, int> m_pendingCodes;
    QString m_password;
    QString m_guid;
    int m_nextId = 1;
    int m_loginDelayMs = 0;
    bool m_ignoreLogin = false;
    struct HeldUpdate
    {
        QPointer<OvSimConsoleLink> link;
        QJsonObject value;
        int code;
    };
    bool m_holdUpdates = false;
    QList<HeldUpdate> m_heldUpdates;
};
