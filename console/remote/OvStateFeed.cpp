#include "remote/OvStateFeed.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "net/OvTransferServer.h"

#include <QPixmap>

namespace {

enum Mark { StatusMark = 1, NameMark = 2, PictureMark = 4 };

}  // namespace

bool OvStateFeed::Changes::isEmpty() const
{
    return !connection && !lock && !current && !nextCue && !cueStructure && cueRows.isEmpty() && !catalogueReset
           && ops.isEmpty() && statuses.isEmpty() && names.isEmpty() && pictures.isEmpty() && takes.isEmpty();
}

OvStateFeed::OvStateFeed(OvCGListModel* model, OvTakeCommand* takes, OvRunningOrder* order,
                         OvTransferServer* transfer, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_takes(takes)
    , m_order(order)
    , m_transfer(transfer)
    , m_flush(this, [this] { flush(); })
{
    connect(model, &OvCGListModel::SingalCGInserted, this, [this](int index, OvSubCGItem* item) {
        structural({Op::Inserted, index, index, item, item->guid()});
    });
    connect(model, &OvCGListModel::SingalCGRemoved, this, [this](int index, OvSubCGItem* item) {
        m_pictureVersions.remove(item);
        structural({Op::Removed, index, index, nullptr, item->guid()});
    });
    connect(model, &OvCGListModel::SignalCgMoved, this, [this](OvSubCGItem* item, int from, int to) {
        structural({Op::Moved, from, to, item, item->guid()});
    });
    connect(model, &OvCGListModel::SingalCGUpdate, this, [this](int, int updateType, OvSubCGItem* item) {
        // "Sending" is this console's provisional state, or another console's
        // request awaiting its answer: the server's answer follows.
        if (updateType == OvSubCGItem::StatusUpdate && item->status() != OvCgStatus::Sending)
            itemChanged(&m_changes.statuses, item, StatusMark);
        else if (updateType == OvSubCGItem::NameUpdate)
            itemChanged(&m_changes.names, item, NameMark);
    });
    connect(model, &OvCGListModel::pictureChanged, this, [this](OvSubCGItem* item) {
        const QPixmap picture = item->image();
        const auto known = m_pictureVersions.constFind(item);
        if (picture.isNull() ? known == m_pictureVersions.cend()
                             : known != m_pictureVersions.cend() && known->cacheKey == picture.cacheKey())
            return;
        if (picture.isNull())
            m_pictureVersions.remove(item);
        else
            m_pictureVersions.insert(item, {++m_pictureSerial, picture.cacheKey()});
        itemChanged(&m_changes.pictures, item, PictureMark);
    });
    connect(model, &OvCGListModel::SignalCurrentCGChanged, this, [this] {
        m_changes.current = true;
        m_flush.request();
    });
    connect(model, &OvCGListModel::takeConfirmed, this, [this](OvSubCGItem* item, int ms) {
        m_changes.takes.append({item, ms});
        m_flush.request();
    });
    connect(transfer, &OvTransferServer::signalConnect, this, [this] {
        m_changes.connection = true;
        m_flush.request();
    });
    connect(takes, &OvTakeCommand::lockedChanged, this, [this] {
        m_changes.lock = true;
        m_flush.request();
    });
    // What was told of each cue follows the edits one by one: an order of
    // 10,000 cues is not read again for each cue added or moved.
    const auto cueStructure = [this] {
        m_changes.cueStructure = true;
        m_flush.request();
    };
    connect(order, &OvRunningOrder::cueInserted, this, [this, cueStructure](int row) {
        if (row >= 0 && row <= m_toldCues.size())
            m_toldCues.insert(row, toldCue(row));
        cueStructure();
    });
    connect(order, &OvRunningOrder::cueRemoved, this, [this, cueStructure](int row) {
        if (row >= 0 && row < m_toldCues.size())
            m_toldCues.remove(row);
        cueStructure();
    });
    connect(order, &OvRunningOrder::cueMoved, this, [this, cueStructure](int from, int to) {
        if (qMax(from, to) < m_toldCues.size() && qMin(from, to) >= 0)
            m_toldCues.move(from, to);
        cueStructure();
    });
    connect(order, &OvRunningOrder::cuesReset, this, [this, cueStructure] {
        m_toldCues.clear();
        cueStructure();
    });
    connect(order, &OvRunningOrder::cuesChanged, this, [this](int first, int last) {
        // One span for the turn: a new catalogue tells every cue's row once
        // per item it lists.
        m_cueRange = m_cueRange.first < 0 ? qMakePair(first, last)
                                          : qMakePair(qMin(m_cueRange.first, first), qMax(m_cueRange.second, last));
        m_flush.request();
    });
    connect(order, &OvRunningOrder::changed, this, [this] { m_flush.request(); });
    for (int row = 0; row < order->count(); ++row)
        m_toldCues.append(toldCue(row));
    m_toldNext = order->nextIndex();
}

void OvStateFeed::structural(Op op)
{
    if (!m_counted) {
        m_counted = true;
        m_changes.countBefore = m_model->count() + (op.kind == Op::Inserted ? -1 : op.kind == Op::Removed ? 1 : 0);
    }
    if (!m_changes.catalogueReset) {
        if (m_changes.ops.size() < MaxOpsPerTurn) {
            m_changes.ops.append(std::move(op));
        } else {
            m_changes.catalogueReset = true;
            m_changes.ops.clear();
        }
    }
    m_flush.request();
}

void OvStateFeed::itemChanged(QList<QPointer<OvSubCGItem>>* list, OvSubCGItem* item, int flag)
{
    int& marks = m_marked[item];
    if (!(marks & flag)) {
        marks |= flag;
        list->append(item);
    }
    m_flush.request();
}

void OvStateFeed::flush()
{
    Changes changes = std::exchange(m_changes, {});
    m_marked.clear();
    m_counted = false;
    // An empty catalogue is a new one (a disconnection, or a list that
    // follows): it is told as such, not as thousands of removals.
    if (!changes.ops.isEmpty() && m_model->count() == 0) {
        changes.catalogueReset = true;
        changes.ops.clear();
    }
    // The order: only what a panel would show differently.
    const int next = m_order->nextIndex();
    if (next != m_toldNext) {
        m_toldNext = next;
        changes.nextCue = true;
    }
    const auto [first, last] = std::exchange(m_cueRange, {-1, -1});
    if (m_toldCues.size() != m_order->count()) {
        // Read again (or out of step): every cue as it is now.
        changes.cueStructure = true;
        m_toldCues.clear();
        m_toldCues.reserve(m_order->count());
        for (int row = 0; row < m_order->count(); ++row)
            m_toldCues.append(toldCue(row));
    } else {
        for (int row = qMax(0, first); row <= last && row < m_toldCues.size(); ++row) {
            ToldCue now = toldCue(row);
            if (now.name == m_toldCues.at(row).name && now.duration == m_toldCues.at(row).duration)
                continue;
            m_toldCues[row] = std::move(now);
            // The whole order goes anyway, with what each cue shows now.
            if (!changes.cueStructure)
                changes.cueRows.append(row);
        }
    }
    if (!changes.isEmpty())
        emit changed(changes);
}

bool OvStateFeed::connected() const
{
    return m_transfer->isLoggedIn();
}

QString OvStateFeed::server() const
{
    return connected() ? QStringLiteral("%1:%2").arg(m_transfer->host()).arg(m_transfer->port()) : QString();
}

bool OvStateFeed::locked() const
{
    return m_takes->isLocked();
}

OvSubCGItem* OvStateFeed::current() const
{
    return m_model->currentCg();
}

int OvStateFeed::count() const
{
    return m_model->count();
}

OvSubCGItem* OvStateFeed::itemAt(int index) const
{
    return m_model->cgAt(index);
}

int OvStateFeed::indexOf(const OvSubCGItem* item) const
{
    return m_model->indexOfCg(item);
}

int OvStateFeed::confirmedStatus(const OvSubCGItem* item) const
{
    return m_model->confirmedStatus(item);
}

qint64 OvStateFeed::pictureVersion(const OvSubCGItem* item) const
{
    const QPixmap picture = item->image();
    if (picture.isNull())
        return 0;
    auto it = m_pictureVersions.find(item);
    // A picture the feed has not seen change (it came before the feed).
    if (it == m_pictureVersions.end())
        it = m_pictureVersions.insert(item, {++m_pictureSerial, picture.cacheKey()});
    return it->version;
}

int OvStateFeed::nextCue() const
{
    return m_order->nextIndex();
}

int OvStateFeed::cueCount() const
{
    return m_order->count();
}

QString OvStateFeed::cueGuid(int row) const
{
    return m_order->cueAt(row).guid.toString();
}

QString OvStateFeed::cueName(int row) const
{
    const OvSubCGItem* const item = m_order->itemAt(row);
    return item ? item->name() : m_order->cueAt(row).name;
}

int OvStateFeed::cueDuration(int row) const
{
    return m_order->cueAt(row).durationS;
}

OvStateFeed::ToldCue OvStateFeed::toldCue(int row) const
{
    return {cueName(row), cueDuration(row)};
}
