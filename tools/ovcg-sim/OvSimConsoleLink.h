#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>

#include "OvSimFrameReader.h"

class QTcpSocket;
class QTimer;

// One console's TCP connection: reads and checks its frames, sends JSON
// messages and raw bytes, and remembers who logged in on it.
class OvSimConsoleLink : public QObject
{
    Q_OBJECT
public:
    enum class State { Connected, LoggedIn, Leaving };
    // A console that stops reading is cut off once this much waits to be sent,
    // rather than letting notifications pile up without end.
    static constexpr qint64 kMaxUnsent = 64 * 1024 * 1024;

    OvSimConsoleLink(int id, QTcpSocket* socket, QObject* parent);

    int id() const { return m_id; }
    State state() const { return m_state; }
    bool hasLoggedIn() const { return m_hasLoggedIn; }
    QString token() const { return m_token; }
    QString deviceName() const { return m_deviceName; }
    QString addressText() const;
    QString peerText() const;
    // The name other consoles see for this one in notifications.
    QString operatorName() const;
    QString stateText() const;

    void setLoggedIn(const QString& token, const QString& deviceName);

    void sendJson(const QJsonObject& message);
    void sendRaw(const QByteArray& bytes, const QString& description);
    // The peer is expected to hang up (after a kick or a refused login); it is
    // cut off when it has not done so within graceMs.
    void expectClose(int graceMs);
    // Flushes what was written, then closes.
    void close();
    // Misbehaviour on command: leave everything the console sends unread, so
    // its send queue backs up.
    void stopReading();

    static QString describeAddress(const QHostAddress& address);

signals:
    void messageReceived(OvSimConsoleLink* link, const QJsonObject& message);
    void closed(OvSimConsoleLink* link);

private:
    void onReadyRead();
    void onDisconnected();
    void fail(const QString& reason);
    void checkBacklog();
    void checkForm(const QByteArray& body, const QJsonObject& object, quint8 flag);

    const int m_id;
    QTcpSocket* const m_socket;
    QTimer* m_graceTimer = nullptr;
    OvSimFrameReader m_reader;
    State m_state = State::Connected;
    bool m_hasLoggedIn = false;
    bool m_closedReported = false;
    QString m_token;
    QString m_deviceName;
    QHostAddress m_address;
    quint16 m_port = 0;
};
