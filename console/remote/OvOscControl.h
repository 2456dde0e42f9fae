#pragma once

#include "log/OvFailureNotice.h"
#include "remote/OvCommandTable.h"
#include "remote/OvStateFeed.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

class OvSubCGItem;
class QUdpSocket;

// Remote control over OSC (UDP), for button panels and show-control systems,
// and the tally sent back to them. /ovcg/<command> runs that command of the
// command table (an int argument names an item by position, from 1, or sets
// the lock; a string names it by guid or name); a refusal is told to the
// tally's target as /ovcg/refused (command, word). Anything that is no
// command is ignored and counted. Runs on the GUI thread: the socket is read
// from the event loop, a bounded number of packets per turn.
//   /ovcg/refresh                        the whole list as /ovcg/status
// Tally, from the state feed: /ovcg/status and /ovcg/current (name, position,
// status 0-2; /ovcg/status also for the positions a structural change gave
// other items, as a refresh sends them), /ovcg/connected and /ovcg/locked (1 or 0), /ovcg/confirmed
// (name, ms: the server's confirmation of a take of this console), /ovcg/next
// (name, position in the running order; 0 and "" when none).
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

    OvOscControl(OvCommandTable* commands, OvStateFeed* feed, QObject* parent = nullptr);
    ~OvOscControl() override;

    // Listens on address:port; false, with *error, when it cannot.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    QHostAddress address() const;
    // Where the tally goes; without one nothing is sent.
    void setFeedback(const QHostAddress& host, quint16 port);
    // Packets and messages ignored so far.
    qint64 ignoredCount() const { return m_ignored; }


private:
    void readPending();
    // liblo reads the bytes in place, hence not const.
    // budget: messages this datagram may still have handled.
    void handlePacket(char* data, int size, int depth, int* budget);
    void handleMessage(char* data, int size);
    void ignore(const char* why);
    void tell(const OvStateFeed::Changes& changes);
    void tellNext();
    void sendItem(const char* path, const OvSubCGItem* item, int position, int status);
    void sendConnected(bool connected);
    void sendLocked(bool locked);
    // Sends /ovcg/status for positions [from, to) from this turn on, a slice a
    // turn, with a walk under way; changed: they hold other items now.
    void walk(int from, int to, bool changed);
    void sendRefreshSlice();
    void send(const QByteArray& datagram);

    OvCommandTable* m_commands;
    OvStateFeed* m_feed;
    QUdpSocket* m_socket = nullptr;
    QUdpSocket* m_out = nullptr;
    QHostAddress m_feedbackHost;
    quint16 m_feedbackPort = 0;
    // The walk under way: the next position it sends (-1: none), where it
    // started and where it ends.
    int m_refreshAt = -1;
    int m_refreshFrom = 0;
    int m_refreshTo = 0;
    // The next cue last told, so that edits elsewhere in the order say nothing.
    int m_toldNext = -2;
    QString m_toldNextName;
    OvFailureNotice m_sendFailure;
    qint64 m_ignored = 0;
    qint64 m_ignoredWarned = 0;
    QElapsedTimer m_warned;
};
