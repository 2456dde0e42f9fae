#include "remote/OvOscControl.h"

#include "cg/OvSubCGItem.h"

#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <lo/lo.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Bundles within bundles are followed this deep, no deeper.
constexpr int MaxBundleDepth = 4;

// An int argument. liblo's arguments point into the packet, aligned to 4
// bytes only: read through memcpy, not through its 8-byte union.
qint32 oscInt(const lo_arg* arg)
{
    qint32 value = 0;
    std::memcpy(&value, arg, sizeof value);
    return value;
}

// An OSC message built with liblo, ready for the wire.
class OscMessage
{
public:
    OscMessage() : m_message(lo_message_new()) {}
    ~OscMessage() { lo_message_free(m_message); }
    OscMessage(const OscMessage&) = delete;
    OscMessage& operator=(const OscMessage&) = delete;

    OscMessage& add(const QString& text)
    {
        lo_message_add_string(m_message, text.toUtf8().constData());
        return *this;
    }
    OscMessage& add(int value)
    {
        lo_message_add_int32(m_message, value);
        return *this;
    }
    QByteArray serialised(const char* path) const
    {
        size_t size = 0;
        void* data = lo_message_serialise(m_message, path, nullptr, &size);
        if (!data)
            return QByteArray();
        QByteArray bytes(static_cast<const char*>(data), int(size));
        std::free(data);
        return bytes;
    }

private:
    lo_message m_message;
};

}  // namespace

OvOscControl::OvOscControl(OvCommandTable* commands, OvStateFeed* feed, QObject* parent)
    : QObject(parent), m_commands(commands), m_feed(feed)
{
    connect(feed, &OvStateFeed::changed, this, &OvOscControl::tell);
}

void OvOscControl::tell(const OvStateFeed::Changes& changes)
{
    if (m_feedbackPort == 0)
        return;
    // Positions from a structural change on hold other items now (a move:
    // only between its ends); a panel that lights a key by position is told
    // them again, as a refresh tells them. A new catalogue, all of it.
    int from = changes.catalogueReset ? 0 : INT_MAX;
    int to = changes.catalogueReset ? INT_MAX : 0;
    for (const OvStateFeed::Op& op : changes.ops) {
        const bool moved = op.kind == OvStateFeed::Op::Moved;
        from = qMin(from, moved ? qMin(op.from, op.to) : op.from);
        to = qMax(to, moved ? qMax(op.from, op.to) + 1 : INT_MAX);
    }
    walk(from, to, true);
    if (changes.connection)
        sendConnected(m_feed->connected());
    if (changes.lock)
        sendLocked(m_feed->locked());
    for (const QPointer<OvSubCGItem>& item : changes.statuses) {
        const int index = item ? m_feed->indexOf(item) : -1;
        if (index >= 0)
            sendItem("/ovcg/status", item, index + 1, m_feed->confirmedStatus(item));
    }
    if (changes.current)
        if (const OvSubCGItem* const current = m_feed->current())
            sendItem("/ovcg/current", current, m_feed->indexOf(current) + 1, m_feed->confirmedStatus(current));
    if (changes.nextCue || changes.cueStructure || !changes.cueRows.isEmpty())
        tellNext();
    for (const OvStateFeed::Take& take : changes.takes)
        if (take.item)
            send(OscMessage().add(take.item->name()).add(take.ms).serialised("/ovcg/confirmed"));
}

void OvOscControl::tellNext()
{
    // A panel's display shows the next cue; edits elsewhere in the order say nothing.
    const int next = m_feed->nextCue();
    const QString name = next < 0 ? QString() : m_feed->cueName(next);
    if (next == m_toldNext && name == m_toldNextName)
        return;
    m_toldNext = next;
    m_toldNextName = name;
    send(OscMessage().add(name).add(next + 1).serialised("/ovcg/next"));
}

OvOscControl::~OvOscControl() = default;

bool OvOscControl::listen(const QHostAddress& address, quint16 port, QString* error)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(address, port)) {
        *error = socket->errorString();
        delete socket;
        return false;
    }
    delete m_socket;
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &OvOscControl::readPending);
    return true;
}

quint16 OvOscControl::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QHostAddress OvOscControl::address() const
{
    return m_socket ? m_socket->localAddress() : QHostAddress();
}

void OvOscControl::setFeedback(const QHostAddress& host, quint16 port)
{
    m_feedbackHost = host;
    m_feedbackPort = port;
}

void OvOscControl::readPending()
{
    // A bounded number per turn; the socket signals again on the next turn
    // while more wait, so a flood cannot hold the window. Read only here: a
    // datagram taken outside readyRead would leave Qt's notifier switched off.
    // Messages count, not datagrams: a bundle costs what its elements do.
    QByteArray buffer;
    int handled = 0;
    while (handled < MessagesPerTurn && m_socket->hasPendingDatagrams()) {
        buffer.resize(int(qBound<qint64>(1, m_socket->pendingDatagramSize(), 65536)));
        const qint64 size = m_socket->readDatagram(buffer.data(), buffer.size());
        int budget = MessagesPerTurn;
        if (size <= 0)
            ignore("an empty or unreadable datagram");
        else
            handlePacket(buffer.data(), int(size), 0, &budget);
        handled += qMax(1, MessagesPerTurn - budget);
    }
}

void OvOscControl::handlePacket(char* data, int size, int depth, int* budget)
{
    static const char BundleTag[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
    if (size < 16 || std::memcmp(data, BundleTag, sizeof BundleTag) != 0) {
        if (*budget <= 0) {
            ignore("more messages in one datagram than are handled in a turn");
            return;
        }
        --*budget;
        handleMessage(data, size);
        return;
    }
    if (depth >= MaxBundleDepth) {
        ignore("bundles nested too deep");
        return;
    }
    // Elements are handled at once, whatever their time tag says.
    int at = 16;
    while (at + 4 <= size) {
        const qint32 length = qFromBigEndian<qint32>(data + at);
        if (length <= 0 || length > size - at - 4) {
            ignore("a malformed bundle");
            return;
        }
        handlePacket(data + at + 4, length, depth + 1, budget);
        at += 4 + length;
    }
}

void OvOscControl::handleMessage(char* data, int size)
{
    int result = 0;
    const lo_message message = lo_message_deserialise(data, size_t(size), &result);
    if (!message) {
        ignore("no OSC message");
        return;
    }
    const QByteArray path(lo_get_path(data, size));
    const char* const types = lo_message_get_types(message);
    lo_arg** const argv = lo_message_get_argv(message);
    const int argc = lo_message_get_argc(message);
    const QString name = path.startsWith("/ovcg/") ? QString::fromUtf8(path.mid(6)) : QString();
    const OvCommandTable::Command* const command = OvCommandTable::find(name);
    const bool intArg = argc == 1 && types[0] == LO_INT32;
    const bool textArg = argc == 1 && types[0] == LO_STRING;

    if (name == QLatin1String("refresh") && argc == 0) {
        // A panel started late learns the whole state, not only the list.
        if (m_refreshAt < 0 || m_refreshFrom > 0) {
            sendConnected(m_feed->connected());
            sendLocked(m_feed->locked());
        }
        walk(0, INT_MAX, false);
    } else if (!command) {
        ignore(name.isEmpty() ? "an unknown address" : "wrong arguments");
    } else {
        using Args = OvCommandTable::Args;
        OvCommandTable::Request request{name, {}, true, OvTakeCommand::Osc, false, {}};
        // Which commands take an item the table says.
        bool fits = argc == 0 ? command->args != Args::Item : intArg || textArg;
        if (fits && argc == 1 && command->args == Args::OptionalFlag) {
            fits = intArg;
            request.flag = fits && oscInt(argv[0]) != 0;
        } else if (intArg) {
            request.item = OvCommandTable::ItemRef::at(oscInt(argv[0]));
        } else if (textArg) {
            request.item = OvCommandTable::ItemRef::named(QString::fromUtf8(reinterpret_cast<const char*>(argv[0])));
        }
        const OvCommandTable::Refusal refusal = fits ? m_commands->run(request) : OvCommandTable::Refusal::BadMessage;
        if (refusal == OvCommandTable::Refusal::BadMessage)
            ignore("wrong arguments");
        else if (refusal != OvCommandTable::Refusal::None && m_feedbackPort != 0)
            send(OscMessage().add(name).add(QString::fromLatin1(OvCommandTable::word(refusal))).serialised("/ovcg/refused"));
    }
    lo_message_free(message);
}

void OvOscControl::ignore(const char* why)
{
    ++m_ignored;
    if (m_warned.isValid() && m_warned.elapsed() < WarningEveryMs)
        return;
    std::fprintf(stderr, "OvCGVestrel: OSC: ignored %lld message(s) since the last note (the last: %s)\n",
                 static_cast<long long>(m_ignored - m_ignoredWarned), why);
    m_ignoredWarned = m_ignored;
    m_warned.start();
}

void OvOscControl::sendItem(const char* path, const OvSubCGItem* item, int position, int status)
{
    if (m_feedbackPort == 0)
        return;
    send(OscMessage().add(item->name()).add(position).add(status).serialised(path));
}

void OvOscControl::sendConnected(bool connected)
{
    if (m_feedbackPort != 0)
        send(OscMessage().add(connected ? 1 : 0).serialised("/ovcg/connected"));
}

void OvOscControl::sendLocked(bool locked)
{
    if (m_feedbackPort != 0)
        send(OscMessage().add(locked ? 1 : 0).serialised("/ovcg/locked"));
}

void OvOscControl::walk(int from, int to, bool changed)
{
    if (m_feedbackPort == 0 || from >= qMin(to, m_feed->count()))
        return;
    if (m_refreshAt < 0) {
        m_refreshFrom = m_refreshAt = from;
        m_refreshTo = to;
        sendRefreshSlice();
        return;
    }
    // One under way goes on: asked again, it only reaches back to what it has
    // not yet sent (a panel that asks often would otherwise never get the end
    // of a long list); positions that changed go again.
    const int first = changed ? from : qMin(from, m_refreshFrom);
    if (first < m_refreshAt && (changed || first < m_refreshFrom))
        m_refreshAt = first;
    m_refreshFrom = qMin(m_refreshFrom, from);
    m_refreshTo = qMax(m_refreshTo, to);
}

void OvOscControl::sendRefreshSlice()
{
    const int end = qMin(m_feed->count(), m_refreshTo);
    for (const int stop = qMin(end, m_refreshAt + RefreshPerTurn); m_refreshAt < stop; ++m_refreshAt) {
        const OvSubCGItem* const item = m_feed->itemAt(m_refreshAt);
        sendItem("/ovcg/status", item, m_refreshAt + 1, m_feed->confirmedStatus(item));
    }
    if (m_refreshAt >= end) {
        m_refreshAt = -1;
        return;
    }
    QTimer::singleShot(0, this, &OvOscControl::sendRefreshSlice);
}

void OvOscControl::send(const QByteArray& datagram)
{
    if (datagram.isEmpty())
        return;
    // A socket of its own, not the listening one: bound to 127.0.0.1 (the
    // default), that one cannot reach a panel on another host.
    if (!m_out)
        m_out = new QUdpSocket(this);
    if (m_out->writeDatagram(datagram, m_feedbackHost, m_feedbackPort) >= 0)
        m_sendFailure.succeeded();
    else
        m_sendFailure.failed(
            tr("OSC反馈无法发送到%1:%2：%3").arg(m_feedbackHost.toString()).arg(m_feedbackPort).arg(m_out->errorString()));
}
