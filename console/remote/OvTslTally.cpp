#include "remote/OvTslTally.h"

#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"

#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int FullBrightness = 3;
// Fewer positions than this changed at once (an addition, a move) are sent
// one by one rather than restart a walk under way.
constexpr int FewPositions = 64;

void appendLe16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value & 0xff)).append(char(value >> 8));
}

// Whether a display could show the character: not a control (C0, DEL, C1),
// no format character (directions, zero widths, U+FEFF, soft hyphen), no line
// or paragraph separator, and no half of a surrogate pair left alone.
bool shownOnDisplay(uint ucs4)
{
    switch (QChar::category(ucs4)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

QString label(const QString& name)
{
    // Each character a display cannot show becomes a space; a cut never
    // splits a surrogate pair.
    QString shown;
    shown.reserve(qMin(name.size(), OvTslTally::MaxLabel));
    for (int i = 0; i < name.size() && shown.size() < OvTslTally::MaxLabel; ++i) {
        const QChar c = name.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const uint ucs4 = pair ? QChar::surrogateToUcs4(c, name.at(i + 1)) : c.unicode();
        if (!shownOnDisplay(ucs4)) {
            shown += QLatin1Char(' ');
        } else if (pair) {
            if (shown.size() + 2 > OvTslTally::MaxLabel)
                break;
            shown += c;
            shown += name.at(i + 1);
        } else {
            shown += c;
        }
        i += pair ? 1 : 0;
    }
    return shown;
}

}  // namespace

OvTslTally::OvTslTally(OvStateFeed* feed, QObject* parent)
    : QObject(parent)
    , m_feed(feed)
    , m_socket(new QUdpSocket(this))
    , m_period(new QTimer(this))
    , m_nextSlice(new QTimer(this))
    , m_flush(this, [this] { flush(); })
{
    connect(feed, &OvStateFeed::changed, this, &OvTslTally::tell);
    m_period->setInterval(DefaultPeriodMs);
    // A whole state under way is carried on, not started over.
    connect(m_period, &QTimer::timeout, this, [this] {
        if (m_walkAt >= m_walkEnd)
            markRange(0, m_feed->count());
    });
    m_nextSlice->setSingleShot(true);
    m_nextSlice->setInterval(SliceGapMs);
    connect(m_nextSlice, &QTimer::timeout, this, &OvTslTally::flush);
}

void OvTslTally::tell(const OvStateFeed::Changes& changes)
{
    // Positions from a structural change on now hold other items (a removal
    // also leaves the old last position behind), as far as the catalogue
    // reached at any time of the turn.
    const int reach = qMax(changes.countBefore, m_feed->count()) + changes.ops.size();
    if (changes.catalogueReset)
        markRange(0, reach);
    for (const OvStateFeed::Op& op : changes.ops) {
        if (op.kind == OvStateFeed::Op::Moved)
            markRange(qMin(op.from, op.to), qMax(op.from, op.to) + 1);
        else
            markRange(op.from, reach);
    }
    for (const auto* list : {&changes.statuses, &changes.names}) {
        for (const QPointer<OvSubCGItem>& item : *list) {
            const int index = item ? m_feed->indexOf(item) : -1;
            if (index >= 0)
                markRange(index, index + 1);
        }
    }
}

OvTslTally::~OvTslTally() = default;

void OvTslTally::setTarget(const QHostAddress& host, quint16 port)
{
    m_host = host;
    m_port = port;
    m_period->start();
    markRange(0, m_feed->count());
}

void OvTslTally::setPeriod(int ms)
{
    m_period->setInterval(ms);
}

void OvTslTally::markRange(int from, int to)
{
    to = qMin(to, MaxIndex);
    if (m_port == 0 || from >= to)
        return;
    if (to - from < FewPositions) {
        for (int at = from; at < to; ++at)
            m_changed.insert(at);
    } else if (m_walkAt >= m_walkEnd) {
        m_walkAt = from;
        m_walkEnd = to;
    } else {
        m_walkAt = qMin(m_walkAt, from);
        m_walkEnd = qMax(m_walkEnd, to);
    }
    m_flush.request();
}

void OvTslTally::flush()
{
    const int count = qMin(m_feed->count(), MaxIndex);
    // The walk goes on once the pause after its last slice is over; the
    // changes of this turn go at once, and first.
    const bool sliceDue = !m_nextSlice->isActive();
    int budget = DisplaysPerSlice;
    while (budget > 0 && !m_changed.empty()) {
        const int at = *m_changed.begin();
        m_changed.erase(m_changed.begin());
        if (at < m_walkAt || at >= m_walkEnd) {
            addDisplay(at, count);
            --budget;
        }
    }
    while (sliceDue && budget > 0 && m_walkAt < m_walkEnd) {
        if (m_walkAt >= count) {
            // Past the end only lamps that were lit change: a cleared catalogue
            // of 100,000 items costs what was on air.
            const QList<int> lit = m_lit.keys();
            for (const int at : lit) {
                if (at >= m_walkAt && at < m_walkEnd)
                    addDisplay(at, count);
            }
            m_walkAt = m_walkEnd;
            break;
        }
        addDisplay(m_walkAt++, count);
        --budget;
    }
    sendPacket(false);
    sendPacket(true);
    if ((!m_changed.empty() || m_walkAt < m_walkEnd) && !m_nextSlice->isActive())
        m_nextSlice->start();
}

void OvTslTally::addDisplay(int position, int count)
{
    const auto lit = m_lit.constFind(position);
    Shown shown;
    if (position < count) {
        const OvSubCGItem* const item = m_feed->itemAt(position);
        shown.label = label(item->name());
        const int status = m_feed->confirmedStatus(item);
        // Sending here is another console's request: the lamps stay until the
        // server answers it.
        shown.lamp = status == OvCgStatus::OnPgm   ? Red
                     : status == OvCgStatus::OnPvw ? Green
                     : status == OvCgStatus::Sending && lit != m_lit.cend() ? lit->lamp
                                                                            : Off;
    } else if (lit != m_lit.cend()) {
        shown.label = lit->label;
    } else {
        return;
    }
    if (shown.lamp == Off)
        m_lit.remove(position);
    else
        m_lit.insert(position, shown);

    const bool utf16 = std::any_of(shown.label.cbegin(), shown.label.cend(), [](QChar c) { return c.unicode() > 0x7e; });
    const int length = utf16 ? 2 * shown.label.size() : shown.label.size();
    QByteArray& packet = m_packets[utf16];
    if (!packet.isEmpty() && packet.size() + 6 + length > MaxDatagram)
        sendPacket(utf16);
    if (packet.isEmpty()) {
        packet.reserve(MaxDatagram);  // kept from one datagram to the next
        appendLe16(packet, 0);  // the byte count, once the datagram is complete
        packet.append(char(0)).append(char(utf16 ? 1 : 0));  // version 5.0; flags: the text's encoding
        appendLe16(packet, 0);  // screen
    }
    const int lamps = shown.lamp | shown.lamp << 2 | shown.lamp << 4;  // right, text, left
    appendLe16(packet, quint16(position + 1));
    appendLe16(packet, quint16(lamps | FullBrightness << 6));
    appendLe16(packet, quint16(length));
    if (utf16) {
        const int at = packet.size();
        packet.resize(at + length);
        qToLittleEndian<quint16>(shown.label.utf16(), shown.label.size(), packet.data() + at);
    } else {
        packet.append(shown.label.toLatin1());
    }
}

void OvTslTally::sendPacket(bool utf16)
{
    QByteArray& packet = m_packets[utf16];
    if (packet.isEmpty())
        return;
    qToLittleEndian<quint16>(quint16(packet.size() - 2), packet.data());
    const bool sent = m_socket->writeDatagram(packet, m_host, m_port) >= 0;
    packet.resize(0);
    if (sent)
        m_sendFailure.succeeded();
    else
        m_sendFailure.failed(
            tr("TSL tally无法发送到%1:%2：%3").arg(m_host.toString()).arg(m_port).arg(m_socket->errorString()));
}
