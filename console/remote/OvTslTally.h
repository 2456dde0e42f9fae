#pragma once

#include "cg/OvTurnEnd.h"
#include "log/OvFailureNotice.h"
#include "remote/OvStateFeed.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <set>

class QTimer;
class QUdpSocket;

// Tally for multiviewers and under-monitor displays over TSL UMD 5.0 (UDP),
// sent only, on screen 0. One display per catalogue position: its index is
// the position (from 1, as OSC counts; index 0 stays unused, and positions
// past 65534 cannot be addressed), its label the item's name (what no display
// shows, controls, format characters, separators and broken surrogates, as
// spaces), and all three of its lamps (left, text, right) alike, since devices
// differ in which one they show: red on PGM, green on PVW, off otherwise, as
// the server confirmed it, never this console's provisional "sending". A
// label that is printable ASCII goes as ASCII, anything else (an accent too)
// as UTF-16LE (the protocol's flag is per datagram, so the two never share one).
// Changes go out at the end of the turn they happened in, many displays to a
// datagram; the whole state again every period, in slices. Past the
// catalogue's end a display keeps its label, and a lamp lit there goes off
// once (the catalogue went with the connection).
class OvTslTally : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPeriodMs = 10000;
    // Well below the protocol's 2048 bytes and an Ethernet frame: never fragmented.
    static constexpr int MaxDatagram = 1400;
    // UTF-16 units a label keeps: more than any display shows, and a datagram
    // still holds ten labels of the longest.
    static constexpr int MaxLabel = 64;
    // Displays sent at most per turn. A long walk (the whole state, a new
    // catalogue) goes a slice at a time with a pause between: the GUI thread is
    // never held for long, and a receiver is not sent thousands of datagrams
    // at once.
    static constexpr int DisplaysPerSlice = 1000;
    static constexpr int SliceGapMs = 10;
    // 65535 addresses every display at once.
    static constexpr int MaxIndex = 65534;

    explicit OvTslTally(OvStateFeed* feed, QObject* parent = nullptr);
    ~OvTslTally() override;

    // Where the datagrams go; the whole state follows at once.
    void setTarget(const QHostAddress& host, quint16 port);
    void setPeriod(int ms);

private:
    enum Lamp { Off = 0, Red = 1, Green = 2 };
    struct Shown
    {
        QString label;
        int lamp = Off;
    };

    void tell(const OvStateFeed::Changes& changes);
    // Positions from 0; from..to-1 changed.
    void markRange(int from, int to);
    void flush();
    void addDisplay(int position, int count);
    void sendPacket(bool utf16);

    OvStateFeed* m_feed;
    QUdpSocket* m_socket = nullptr;
    QTimer* m_period = nullptr;
    QTimer* m_nextSlice = nullptr;
    QHostAddress m_host;
    quint16 m_port = 0;
    OvTurnEnd m_flush;
    // Positions changed one by one; a walk covers long ranges, a slice at a time.
    std::set<int> m_changed;
    int m_walkAt = 0;
    int m_walkEnd = 0;
    // Displays last sent lit, by position: turned off once their item goes.
    QHash<int, Shown> m_lit;
    // Datagrams being filled: [0] ASCII labels, [1] UTF-16LE.
    QByteArray m_packets[2];
    OvFailureNotice m_sendFailure;
};
