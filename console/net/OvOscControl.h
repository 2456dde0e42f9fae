#pragma once

#include "log/OvFailureNotice.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

class OvSubCGItem;
class QUdpSocket;

// Remote control over OSC (UDP), for button panels and show-control systems,
// and the tally sent back to them. Commands go through the model exactly as
// the operator's clicks do, with the same refusals; anything else is ignored
// and counted. Runs on the GUI thread: the socket is read from the event loop,
// a bounded number of packets per turn.
//
//   /ovcg/pgm, /ovcg/pvw, /ovcg/cancel   [position (int, from 1) | name (string)]
//   /ovcg/select  position | name        /ovcg/next, /ovcg/prev
//   /ovcg/refresh                        the whole list as /ovcg/status
//   /ovcg/lock 1|0                       /ovcg/clearall (every item off air)
//   /ovcg/go                             the running order's next cue to PGM
// Tally: /ovcg/status and /ovcg/current (name, position, status 0-2),
// /ovcg/connected and /ovcg/locked (1 or 0), /ovcg/confirmed (name, ms: the
// server's confirmation of a take of this console), /ovcg/next (name,
// position in the running order; 0 and "" when none).
class OvOscControl : public QObject
{
    Q_OBJECT
public:
    // Messages handled per turn of the event loop, whether each came alone or
    // in a bundle; datagrams beyond wait for the next turn. A datagram that
    // holds more messages than this has the rest ignored.
    static constexpr int MessagesPerTurn = 64;
    // Status messages of a refresh sent per turn of the event loop.
    static constexpr int RefreshPerTurn = 500;
    static constexpr int WarningEveryMs = 10000;

    explicit OvOscControl(QObject* parent = nullptr);
    ~OvOscControl() override;

    // Listens on address:port; false, with *error, when it cannot.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    QHostAddress address() const;
    // Where the tally goes; without one nothing is sent.
    void setFeedback(const QHostAddress& host, quint16 port);
    // What /ovcg/next and /ovcg/prev do: the grid's Right and Left arrows.
    // Without them they step through the list in its order.
    void setStepHandlers(std::function<void()> next, std::function<void()> previous);
    // Packets and messages ignored so far.
    qint64 ignoredCount() const { return m_ignored; }

    // "host:port" with a numeric address; false when the text is no such thing.
    static bool parseHostPort(const QString& text, QHostAddress* host, quint16* port);

private:
    void readPending();
    // liblo reads the bytes in place, hence not const.
    // budget: messages this datagram may still have handled.
    void handlePacket(char* data, int size, int depth, int* budget);
    void handleMessage(char* data, int size);
    void ignore(const char* why);
    void sendItem(const char* path, const OvSubCGItem* item, int position, int status);
    void sendConnected(bool connected);
    void sendLocked(bool locked);
    void sendRefreshSlice();
    void send(const QByteArray& datagram);

    QUdpSocket* m_socket = nullptr;
    QUdpSocket* m_out = nullptr;
    QHostAddress m_feedbackHost;
    quint16 m_feedbackPort = 0;
    std::function<void()> m_next;
    std::function<void()> m_previous;
    int m_refreshAt = -1;  // next position a refresh sends, -1: none under way
    // The next cue last told, so that edits elsewhere in the order say nothing.
    int m_toldNext = -2;
    QString m_toldNextName;
    OvFailureNotice m_sendFailure;
    qint64 m_ignored = 0;
    qint64 m_ignoredWarned = 0;
    QElapsedTimer m_warned;
};
