#include "net/OvOscControl.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "net/OvTransferServer.h"

#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <lo/lo.h>

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

OvOscControl::OvOscControl(QObject* parent) : QObject(parent)
{
    OvCGListModel* const model = OvCGListModel::instance();
    connect(model, &OvCGListModel::SingalCGRemoved, this, [this, model] {
        // The catalogue went (a new one follows, or the connection ended): a
        // refresh under way starts over rather than carry on into the next.
        if (m_refreshAt > 0 && model->count() == 0)
            m_refreshAt = 0;
    });
    connect(model, &OvCGListModel::SingalCGUpdate, this,
            [this](int index, int updateType, OvSubCGItem* item, const operatorInfo&) {
                // The console's own provisional state is no tally: the
                // server's answer follows.
                if (updateType == OvSubCGItem::StatusUpdate && item->status() != OvCgStatus::Sending)
                    sendItem("/ovcg/status", item, index + 1, item->status());
            });
    connect(model, &OvCGListModel::SignalCurrentCGChanged, this, [this, model](OvSubCGItem* item) {
        if (item)
            sendItem("/ovcg/current", item, model->indexOfCg(item) + 1, model->confirmedStatus(item));
    });
    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this, &OvOscControl::sendConnected);
    connect(OvTakeCommand::instance(), &OvTakeCommand::lockedChanged, this, &OvOscControl::sendLocked);
    // The next cue, whenever the order changes: a panel's display shows it.
    OvRunningOrder* const order = OvRunningOrder::instance();
    connect(order, &OvRunningOrder::changed, this, [this, order] {
        const int next = order->nextIndex();
        const OvRunningOrder::Cue cue = order->cueAt(next);
        const QString name = next < 0 ? QString() : cue.name;
        if (m_feedbackPort == 0 || (next == m_toldNext && name == m_toldNextName))
            return;
        m_toldNext = next;
        m_toldNextName = name;
        send(OscMessage().add(name).add(next + 1).serialised("/ovcg/next"));
    });
    connect(model, &OvCGListModel::takeConfirmed, this, [this](OvSubCGItem* item, int ms) {
        if (m_feedbackPort != 0)
            send(OscMessage().add(item->name()).add(ms).serialised("/ovcg/confirmed"));
    });
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

void OvOscControl::setStepHandlers(std::function<void()> next, std::function<void()> previous)
{
    m_next = std::move(next);
    m_previous = std::move(previous);
}

bool OvOscControl::parseHostPort(const QString& text, QHostAddress* host, quint16* port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString hostText = text.left(colon).trimmed();
    if (hostText.startsWith(QLatin1Char('[')) && hostText.endsWith(QLatin1Char(']')))
        hostText = hostText.mid(1, hostText.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).trimmed().toUInt(&ok);
    if (!ok || number == 0 || number > 65535 || !host->setAddress(hostText))
        return false;
    *port = quint16(number);
    return true;
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
    OvCGListModel* const model = OvCGListModel::instance();

    const bool publish = path == "/ovcg/pgm" || path == "/ovcg/pvw" || path == "/ovcg/cancel";
    if (publish || path == "/ovcg/select") {
        OvSubCGItem* item = nullptr;
        if (argc == 0 && publish)
            item = model->currentCg();
        else if (argc == 1 && types[0] == LO_INT32) {
            // Checked before any arithmetic: the panel may send any int.
            const qint32 position = oscInt(argv[0]);
            item = position >= 1 ? model->cgAt(position - 1) : nullptr;
        }
        else if (argc == 1 && types[0] == LO_STRING)
            item = model->findCgByName(QString::fromUtf8(reinterpret_cast<const char*>(argv[0])));
        if (!item) {
            ignore(argc == 1 && (types[0] == LO_INT32 || types[0] == LO_STRING) ? "no such item"
                                                                                : "wrong arguments");
        } else if (path == "/ovcg/select") {
            model->setCurrentCg(item);
        } else {
            const int status = path == "/ovcg/pgm"   ? OvCgStatus::OnPgm
                               : path == "/ovcg/pvw" ? OvCgStatus::OnPvw
                                                     : OvCgStatus::Idle;
            // The current item as its button would take it (not while the
            // search hides it); one named by position or name as the operator
            // does it: the tile becomes current, then its button.
            OvTakeCommand* const command = OvTakeCommand::instance();
            if (argc == 0)
                command->take(OvTakeCommand::Osc, status);
            else
                command->takeItem(OvTakeCommand::Osc, item, status);
        }
    } else if ((path == "/ovcg/next" || path == "/ovcg/prev") && argc == 0) {
        const std::function<void()>& handler = path == "/ovcg/next" ? m_next : m_previous;
        if (handler)
            handler();
        else
            model->stepCurrent(path == "/ovcg/next" ? 1 : -1);
    } else if (path == "/ovcg/go" && argc == 0) {
        OvRunningOrder::instance()->go(OvTakeCommand::Osc);
    } else if (path == "/ovcg/lock" && argc == 1 && types[0] == LO_INT32) {
        OvTakeCommand::instance()->setLocked(oscInt(argv[0]) != 0);
    } else if (path == "/ovcg/clearall" && argc == 0) {
        // No question: the panel's button is deliberate.
        OvTakeCommand::instance()->clearAll(OvTakeCommand::Osc);
    } else if (path == "/ovcg/refresh" && argc == 0) {
        // One under way is finished, not restarted: a panel that asks often
        // would otherwise never get the end of a long list.
        if (m_refreshAt < 0) {
            m_refreshAt = 0;
            // A panel started late learns the whole state, not only the list.
            sendConnected(OvTransferServer::instance()->connectionState() == OvTransferServer::LoggedIn);
            sendLocked(OvTakeCommand::instance()->isLocked());
            sendRefreshSlice();
        }
    } else {
        ignore(path.startsWith("/ovcg/") ? "wrong arguments" : "an unknown address");
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

void OvOscControl::sendRefreshSlice()
{
    OvCGListModel* const model = OvCGListModel::instance();
    const int end = qMin(model->count(), m_refreshAt + RefreshPerTurn);
    for (; m_refreshAt < end; ++m_refreshAt) {
        const OvSubCGItem* const item = model->cgAt(m_refreshAt);
        sendItem("/ovcg/status", item, m_refreshAt + 1, model->confirmedStatus(item));
    }
    if (m_refreshAt >= model->count()) {
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
