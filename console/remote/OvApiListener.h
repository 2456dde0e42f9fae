#pragma once

#include "remote/OvWaitingLimit.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <functional>

class OvHttpHead;
class QHostAddress;
class QTcpServer;
class QTcpSocket;
class QTimer;

// The remote API's port: it accepts the TCP connections itself and reads each
// request head within bounds (how many may wait, from one address and in all,
// how many bytes a head may have, how long it may take), so that connections
// that never finish their request cost the GUI thread next to nothing. A
// complete head stays unread in its socket: one that asks for a WebSocket is
// handed on with upgradeRequested, any other request goes to the plain
// handler (by default: told that this port speaks WebSocket).
class OvApiListener : public QObject
{
    Q_OBJECT
public:
    // Past this many, the oldest connection of the address that holds the
    // most gives way: a flood from one address holds them all and pushes out
    // only its own (a lower bound per address would only have it push out its
    // own sooner, at the cost of a reconnection each).
    static constexpr int MaxWaiting = 128;
    static constexpr int MaxWaitingPerAddress = MaxWaiting;
    // A browser's head with its cookies fits; the handshake's own is some 250 bytes.
    static constexpr int MaxHeadBytes = 16 * 1024;
    static constexpr int DefaultHeadTimeoutMs = 5000;

    // A request that is no WebSocket upgrade, its head unread in the socket:
    // the handler answers it and owns the socket from then on.
    using PlainHandler = std::function<void(QTcpSocket* socket, const OvHttpHead& head)>;

    explicit OvApiListener(QObject* parent = nullptr);
    ~OvApiListener() override;

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    void setHeadTimeoutMs(int ms);
    void setPlainHandler(PlainHandler handler);
    // Connections whose head is not complete yet.
    int waiting() const { return m_waiting.size(); }

signals:
    // The head is complete and asks for a WebSocket; the receiver takes the socket over.
    void upgradeRequested(QTcpSocket* socket, const OvHttpHead& head);
    // A connection closed before its head was complete: pushed out by a
    // newcomer, too slow or too large.
    void closedEarly();

private:
    void accept();
    void read(QTcpSocket* socket);
    void sweep();
    void drop(QTcpSocket* socket);
    void release(QTcpSocket* socket);

    struct Head
    {
        qint64 sinceMs = 0;
        int scanned = 0;  // bytes already searched for the head's end
    };
    QTcpServer* m_server;
    QTimer* m_sweep;
    QElapsedTimer m_clock;
    OvWaitingLimit m_waiting{MaxWaiting, MaxWaitingPerAddress};
    QHash<QTcpSocket*, Head> m_heads;
    int m_headTimeoutMs = DefaultHeadTimeoutMs;
    PlainHandler m_plain;
};
