#include "cg/OvCGListModel.h"

#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvThumbnailDecoder.h"
#include "cg/OvThumbnailQueue.h"
#include "log/OvCGMessage.h"
#include "net/OvCgNotification.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

OvCGListModel* OvCGListModel::instance()
{
    static OvCGListModel model;
    return &model;
}

OvCGListModel::OvCGListModel() : QObject(nullptr)
{
    m_answerClock.start();
    m_answerTimer = new QTimer(this);
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setTimerType(Qt::PreciseTimer);
    connect(m_answerTimer, &QTimer::timeout, this, &OvCGListModel::giveUpUnanswered);
    m_thumbnails = new OvThumbnailQueue(this);
    connect(m_thumbnails, &OvThumbnailQueue::ready, this,
            [this](OvSubCGItem* item, QImage image, const operatorInfo& info) {
                if (!m_members.contains(item))
                    return;
                m_applyingThumbnail = true;
                // The decoded pixels are taken over, not copied.
                item->setImage(image.isNull() ? QPixmap() : QPixmap::fromImage(std::move(image)), info);
                m_applyingThumbnail = false;
            });
    // The model outlives the application object, whose end takes QtGui's
    // image readers with it: decodes stop before that, whichever way the
    // program ends.
    qAddPostRoutine([] { instance()->m_thumbnails->shutdown(); });
    const auto namesChanged = [this] { m_byNameDirty = true; };
    connect(this, &OvCGListModel::SingalCGInserted, this, namesChanged);
    connect(this, &OvCGListModel::SingalCGRemoved, this, namesChanged);
    connect(this, &OvCGListModel::SignalCgMoved, this, namesChanged);
    connect(this, &OvCGListModel::SingalCGUpdate, this, [this](int, int updateType) {
        if (updateType == OvSubCGItem::NameUpdate)
            m_byNameDirty = true;
    });
}

OvCGListModel::~OvCGListModel()
{
    // Process exit: nobody listens any more, so the items go without signals.
    const QList<OvSubCGItem*> items = std::exchange(m_items, {});
    m_members.clear();
    m_byGuid.clear();
    m_pending.clear();
    m_current = nullptr;
    qDeleteAll(items);
    delete m_graveyard.data();
}

uint qHash(const OvGuidKey& key, uint seed) noexcept
{
    // The raw 16 bytes, not the fields: QUuid's members have no padding.
    static_assert(sizeof(QUuid) == 16, "QUuid is 128 bits");
    return qHashBits(&key.uuid, sizeof(QUuid), seed);
}

OvSubCGItem* OvCGListModel::findCg(const QString& guid) const
{
    // Only the braced lower-case form names an item (what guid() gives).
    const QUuid uuid(guid);
    if (uuid.toString() != guid)
        return nullptr;
    return findCg(uuid);
}

OvSubCGItem* OvCGListModel::findCg(const QUuid& guid) const
{
    // Several items may share the guid: the first in list order wins.
    return m_byGuid.value(OvGuidKey{guid}).first;
}

int OvCGListModel::indexOfCg(const OvSubCGItem* item) const
{
    if (!item || !m_members.contains(item))
        return -1;
    // An item further down may still carry a position from before a move.
    const int known = item->m_position;
    if (known >= 0 && known < m_positionsKnown && m_items.at(known) == item)
        return known;
    // Never more walking than a search of the list would do.
    for (int i = m_positionsKnown; i < m_items.size(); ++i) {
        OvSubCGItem* const at = m_items.at(i);
        at->m_position = i;
        m_positionsKnown = i + 1;
        if (at == item)
            return i;
    }
    return -1;
}

int OvCGListModel::count() const
{
    return m_items.size();
}

OvSubCGItem* OvCGListModel::cgAt(int index) const
{
    return m_items.value(index, nullptr);
}

QList<OvSubCGItem*> OvCGListModel::cgList() const
{
    return m_items;
}

void OvCGListModel::insertCg(OvSubCGItem* item, const operatorInfo& info)
{
    // An item listed twice would be deleted while still listed once removed.
    if (!item || m_members.contains(item))
        return;
    admitImage(item);
    m_items.append(item);
    item->m_position = m_items.size() - 1;
    if (m_positionsKnown == item->m_position)
        ++m_positionsKnown;
    const qint64 cost = OvThumbnailDecoder::costOf(item->m_data.image.size());
    m_members.insert(item, cost);
    m_imageBytes += cost;
    indexGuid(item);
    // The item travels with the connection: sender() would walk every
    // item's connection to the model, a whole catalogue per change.
    connect(item, &OvSubCGItem::updateData, this,
            [this, item](int updateType, const operatorInfo& info) { updateCg(item, updateType, info); });
    if (!m_current)
        setCurrentCg(item);
    if (item->status() == OvCgStatus::Sending)
        watchForeignSending(item, 0);
    emit SingalCGInserted(m_items.size() - 1, item, info);
}

void OvCGListModel::removeCg(OvSubCGItem* item, const operatorInfo& info)
{
    // Not ours (or already removed): deleting it again would be a double free.
    if (!item || !m_members.contains(item))
        return;
    // Emptying the list removes its first item again and again: no walk.
    const int index = m_items.first() == item ? 0 : indexOfCg(item);
    m_items.removeAt(index);
    m_positionsKnown = qMin(m_positionsKnown, index);
    item->m_position = -1;
    m_imageBytes -= m_members.take(item);
    unindexGuid(item);
    m_pending.remove(item);
    m_foreignSending.remove(item);
    m_thumbnails->forget(item);
    item->disconnect(this);
    if (item == m_current)
        setCurrentCg(nullptr);
    emit SingalCGRemoved(index, item, info);
    // Its picture leaves the budget now, so it must leave memory now too, not
    // when the deferred deletion comes (a reload would otherwise hold two
    // catalogues' pictures at once).
    item->m_data.image = QPixmap();
    if (!m_graveyard) {
        m_graveyard = new QObject(nullptr);
        m_graveyard->deleteLater();
    }
    item->setParent(m_graveyard);
}

void OvCGListModel::clearCg()
{
    m_unlisted = 0;
    m_thumbnails->reset();
    while (!m_items.isEmpty())
        removeCg(m_items.first(), localOperatorInfo());
}

void OvCGListModel::applyCatalogue(const QList<OvCgRecord>& records, int unlisted)
{
    // The thumbnails are decoded on worker threads once the items are listed.
    QList<cgItemData> items;
    QStringList thumbnails;
    items.reserve(records.size());
    thumbnails.reserve(records.size());
    for (const OvCgRecord& record : records) {
        items.append({record.guid, record.status, record.name, QPixmap()});
        thumbnails.append(record.imageBase64);
    }
    resetCgList(items, thumbnails);
    m_unlisted = unlisted;
}

bool OvCGListModel::applyNotification(const OvCgNotification& n)
{
    const operatorInfo info{n.operationID, n.operatorAddr, n.operatorName, n.operatorGuid};
    if (n.operationType == OvProtocol::Add) {
        if (count() >= OvProtocol::MaxCgItems) {
            ++m_unlisted;
            return false;
        }
        // The model owns what it is given; until then the item has no owner.
        auto item = std::make_unique<OvSubCGItem>(
            cgItemData{n.record.guid, n.record.status, n.record.name, QPixmap()});
        OvSubCGItem* const added = item.get();
        insertCg(item.release(), info);
        decodeThumbnail(added, n.record.imageBase64);
        return true;
    }
    OvSubCGItem* const item = findCg(n.target);
    if (!item)
        return true;
    switch (n.operationType) {
    case OvProtocol::StatusChange:
        item->setStatus(n.status, info);
        break;
    case OvProtocol::Rename:
        item->setName(n.name, info);
        break;
    case OvProtocol::NewThumbnail:
        changeThumbnail(item, n.imageBase64, info);
        break;
    case OvProtocol::Move:
        moveCg(indexOfCg(item), n.index, info);
        break;
    case OvProtocol::Remove:
        removeCg(item, info);
        break;
    default:
        break;
    }
    return true;
}

void OvCGListModel::resetCgList(const QList<cgItemData>& list)
{
    clearCg();
    m_items.reserve(list.size());
    m_members.reserve(list.size());
    for (const cgItemData& data : list)
        insertCg(new OvSubCGItem(data), localOperatorInfo());
}

void OvCGListModel::resetCgList(const QList<cgItemData>& list, const QStringList& thumbnails)
{
    // Cleared first, so the old catalogue's pictures leave the budget and its
    // decodes still waiting are dropped.
    resetCgList(list);
    for (int i = 0; i < list.size() && i < thumbnails.size(); ++i) {
        if (!thumbnails.at(i).isEmpty())
            m_thumbnails->request(m_items.at(i), thumbnails.at(i), localOperatorInfo());
    }
}

void OvCGListModel::decodeThumbnail(OvSubCGItem* item, const QString& base64)
{
    if (!m_members.contains(item))
        return;
    m_thumbnails->request(item, base64, localOperatorInfo());
}

void OvCGListModel::changeThumbnail(OvSubCGItem* item, const QString& base64, const operatorInfo& info)
{
    if (!m_members.contains(item))
        return;
    // The picture it has stays until the new one is ready.
    item->setImage(item->image(), info);
    m_thumbnails->request(item, base64, localOperatorInfo());
}

int OvCGListModel::thumbnailsPending() const
{
    return m_thumbnails->pending();
}

void OvCGListModel::moveCg(int from, int to, const operatorInfo& info)
{
    if (from < 0 || from >= m_items.size())
        return;
    // Targets outside the list clamp to its ends; listeners are told where
    // the item really went.
    const int target = qBound(0, to, m_items.size() - 1);
    OvSubCGItem* item = m_items.takeAt(from);
    m_items.insert(target, item);
    m_positionsKnown = qMin(m_positionsKnown, qMin(from, target));
    if (item->m_guidPrev || item->m_guidNext)
        reorderGuidChain(item->m_data.guid);
    emit SignalCgMoved(item, from, target, info);
}

OvSubCGItem* OvCGListModel::findCgByName(const QString& name) const
{
    if (m_byNameDirty) {
        m_byName.clear();
        for (auto it = m_items.crbegin(); it != m_items.crend(); ++it)
            m_byName.insert((*it)->name(), *it);  // the first of a name wins
        m_byNameDirty = false;
    }
    return m_byName.value(name, nullptr);
}

void OvCGListModel::setCurrentCg(OvSubCGItem* item)
{
    if (item == m_current)
        return;
    // A removed item is on its way to deletion and must not become current.
    if (item && !m_members.contains(item))
        return;
    if (m_current)
        m_current->setChecked(false);
    m_current = item;
    if (m_current)
        m_current->setChecked(true);
    emit SignalCurrentCGChanged(m_current);
}

OvSubCGItem* OvCGListModel::currentCg() const
{
    return m_current;
}

bool OvCGListModel::canTake(const OvSubCGItem* item, int targetStatus) const
{
    return item && targetStatus != OvCgStatus::Sending && item->status() != targetStatus
           && item->status() != OvCgStatus::Sending && m_members.contains(item);
}

bool OvCGListModel::publish(OvSubCGItem* item, int targetStatus, const QString& taker)
{
    if (!canTake(item, targetStatus))
        return false;
    const QUuid requestId = QUuid::createUuid();
    operatorInfo info;
    info.operationID = requestId.toString();
    info.operatorName = instanceGuid();
    const int previousStatus = item->status();
    // Outstanding before the item says so, so that every listener of the
    // provisional status already sees the request.
    PendingPublish& pending = m_pending[item];
    pending = {info.operationID, previousStatus, targetStatus, {}, taker};
    pending.asked.start();
    // Provisional "sending" state until the server reports the new status.
    item->setStatus(OvCgStatus::Sending, info);
    // One queue of deadlines rather than a timer per request: ten thousand
    // takes gone unanswered are given up a bounded number per turn.
    const qint64 due = m_answerClock.elapsed() + m_publishAnswerMs;
    const auto at = std::upper_bound(m_answerDeadlines.begin(), m_answerDeadlines.end(), due,
                                     [](qint64 d, const AnswerDeadline& a) { return d < a.dueMs; });
    // Asked before the insertion, which moves the queue's iterators.
    const bool soonest = at == m_answerDeadlines.begin();
    m_answerDeadlines.insert(at, AnswerDeadline{item, info.operationID, due});
    if (!m_answerTimer->isActive() || soonest)
        m_answerTimer->start(int(qMax<qint64>(0, m_answerDeadlines.front().dueMs - m_answerClock.elapsed())));
    const cgItemData data = item->data();
    OvTransferServer::instance()->sendUpdateCG(data, 1, QVariant(targetStatus), requestId);
    return true;
}

void OvCGListModel::updateCg(OvSubCGItem* item, int updateType, const operatorInfo& info)
{
    const auto member = m_members.find(item);
    if (member == m_members.end())
        return;
    if (updateType == OvSubCGItem::ImageUpdate) {
        const qint64 cost = OvThumbnailDecoder::costOf(item->m_data.image.size());
        m_imageBytes += cost - *member;
        *member = cost;
        emit pictureChanged(item);
        if (m_applyingThumbnail)
            return;
    } else if (updateType == OvSubCGItem::StatusUpdate && item->status() != OvCgStatus::Sending) {
        // Whoever set it, the item has left "sending": nothing is awaited any
        // more. The status asked for confirms the take.
        const auto pending = m_pending.constFind(item);
        const bool confirmed = pending != m_pending.cend() && pending->targetStatus == item->status();
        operatorInfo told = info;
        if (confirmed) {
            item->m_confirmedMs = int(qMin<qint64>(pending->asked.elapsed(), std::numeric_limits<int>::max()));
            told.taker = pending->taker;
        }
        m_pending.remove(item);
        m_foreignSending.remove(item);
        emit SingalCGUpdate(indexOfCg(item), updateType, item, told);
        // After the change itself: its listeners tell the new status first.
        if (confirmed)
            emit takeConfirmed(item, item->m_confirmedMs);
        return;
    } else if (updateType == OvSubCGItem::StatusUpdate && !m_pending.contains(item)) {
        watchForeignSending(item, item->m_previousStatus);
    }
    emit SingalCGUpdate(indexOfCg(item), updateType, item, info);
}

void OvCGListModel::giveUpUnanswered()
{
    // A turn gives up at most this many; a few are named, many are counted.
    constexpr int PerTurn = 500;
    constexpr int Named = 10;
    const qint64 now = m_answerClock.elapsed();
    QStringList lines;
    int givenUp = 0;
    while (!m_answerDeadlines.empty() && m_answerDeadlines.front().dueMs <= now && givenUp < PerTurn) {
        const AnswerDeadline deadline = m_answerDeadlines.front();
        m_answerDeadlines.pop_front();
        OvSubCGItem* const item = deadline.item;
        const auto it = item ? m_pending.constFind(item) : m_pending.cend();
        if (it == m_pending.cend() || it->operationId != deadline.operationId)
            continue;
        const PendingPublish pending = *it;
        m_pending.erase(it);
        if (!m_members.contains(item) || item->status() != OvCgStatus::Sending)
            continue;
        // This request's identity, so the tile that shows its overlay drops it;
        // as this process's own bookkeeping the hub does not word the change.
        operatorInfo info;
        info.operationID = deadline.operationId;
        info.operatorName = instanceGuid();
        // The time of an earlier confirmation would pass for this take's.
        item->m_confirmedMs = OvSubCGItem::Unconfirmed;
        item->setStatus(pending.previousStatus, info);
        if (++givenUp <= Named)
            lines.append(OvCgStatus::unansweredText(pending.targetStatus, item->name()));
    }
    if (givenUp > Named)
        lines = QStringList{tr("studio未响应%1个发布请求").arg(givenUp)};
    for (const QString& line : qAsConst(lines))
        OvCGMessage::systemLine(line);
    if (!m_answerDeadlines.empty())
        m_answerTimer->start(int(qMax<qint64>(0, m_answerDeadlines.front().dueMs - m_answerClock.elapsed())));
}

void OvCGListModel::watchForeignSending(OvSubCGItem* item, int previousStatus)
{
    // A repeated 3 restarts the wait but keeps the status from before the first.
    const auto it = m_foreignSending.constFind(item);
    if (it != m_foreignSending.cend())
        previousStatus = it->previousStatus;
    if (previousStatus == OvCgStatus::Sending)
        previousStatus = OvCgStatus::Idle;
    const quint64 token = m_nextToken++;
    m_foreignSending.insert(item, {token, previousStatus});
    QTimer::singleShot(m_publishAnswerMs, Qt::PreciseTimer, item, [this, item, token] {
        const auto found = m_foreignSending.constFind(item);
        if (found == m_foreignSending.cend() || found->token != token)
            return;
        const int previous = found->previousStatus;
        m_foreignSending.erase(found);
        if (!m_members.contains(item) || item->status() != OvCgStatus::Sending || m_pending.contains(item))
            return;
        // This process's own bookkeeping: not worded in the log.
        item->setStatus(previous, localOperatorInfo());
    });
}

void OvCGListModel::admitImage(OvSubCGItem* item)
{
    // Pictures decoded elsewhere are held to the same budget.
    if (OvThumbnailDecoder::costOf(item->m_data.image.size()) > imageBytesFree(nullptr))
        item->m_data.image = QPixmap();
}

void OvCGListModel::setImageBudget(qint64 bytes)
{
    m_imageBudget = bytes;
}

qint64 OvCGListModel::imageBudget() const
{
    return m_imageBudget;
}

qint64 OvCGListModel::imageBytes() const
{
    return m_imageBytes;
}

qint64 OvCGListModel::imageBytesFree(const OvSubCGItem* item) const
{
    return m_imageBudget - m_imageBytes + m_members.value(item, 0);
}

QString OvCGListModel::pendingOperationId(const OvSubCGItem* item) const
{
    const auto it = m_pending.constFind(item);
    return it == m_pending.cend() ? QString() : it->operationId;
}

int OvCGListModel::confirmedStatus(const OvSubCGItem* item) const
{
    const auto it = m_pending.constFind(item);
    return it == m_pending.cend() ? item->status() : it->previousStatus;
}

void OvCGListModel::GuidChain::append(OvSubCGItem* item)
{
    item->m_guidPrev = last;
    item->m_guidNext = nullptr;
    if (last)
        last->m_guidNext = item;
    else
        first = item;
    last = item;
}

void OvCGListModel::indexGuid(OvSubCGItem* item)
{
    // Items are only ever appended, so the chain's end is the list's end.
    m_byGuid[OvGuidKey{item->m_data.guid}].append(item);
}

void OvCGListModel::unindexGuid(OvSubCGItem* item)
{
    const auto it = m_byGuid.find(OvGuidKey{item->m_data.guid});
    if (it == m_byGuid.end())
        return;
    if (item->m_guidPrev)
        item->m_guidPrev->m_guidNext = item->m_guidNext;
    else
        it->first = item->m_guidNext;
    if (item->m_guidNext)
        item->m_guidNext->m_guidPrev = item->m_guidPrev;
    else
        it->last = item->m_guidPrev;
    item->m_guidPrev = item->m_guidNext = nullptr;
    if (!it->first)
        m_byGuid.erase(it);
}

void OvCGListModel::reorderGuidChain(const QUuid& guid)
{
    // A move of an item that shares its guid: the chain follows the list
    // order again. One pass, and only for this rare case.
    const auto it = m_byGuid.find(OvGuidKey{guid});
    if (it == m_byGuid.end())
        return;
    GuidChain chain;
    for (OvSubCGItem* const item : qAsConst(m_items)) {
        if (item->m_data.guid == guid)
            chain.append(item);
    }
    *it = chain;
}

void OvCGListModel::setPublishAnswerTimeout(int ms)
{
    m_publishAnswerMs = ms;
}
