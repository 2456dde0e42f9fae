#include "cg/OvCGListModel.h"

#include "cg/OvSubCGItem.h"
#include "shortcut/OvShortcutKey.h"
#include "net/OvTransferServer.h"

#include <QUuid>
#include <QVariant>

#include <utility>

OvCGListModel* OvCGListModel::instance()
{
    static OvCGListModel model;
    return &model;
}

OvCGListModel::OvCGListModel() : QObject(nullptr)
{
    OvShortcutKey& shortcuts = OvShortcutKey::instance();
    shortcuts.addShortcut(QKeySequence(Qt::Key_Z), [this] { sendPgm(); });
    shortcuts.addShortcut(QKeySequence(Qt::Key_X), [this] { sendPvw(); });
    shortcuts.addShortcut(QKeySequence(Qt::Key_C), [this] { cancelPublish(); });
}

OvCGListModel::~OvCGListModel()
{
    // Process exit: nobody listens any more, so the items go without signals.
    const QList<OvSubCGItem*> items = std::exchange(m_items, {});
    m_members.clear();
    m_current = nullptr;
    qDeleteAll(items);
}

OvSubCGItem* OvCGListModel::findCg(const QString& guid) const
{
    for (OvSubCGItem* item : m_items) {
        if (item->guid() == guid)
            return item;
    }
    return nullptr;
}

int OvCGListModel::indexOfCg(const OvSubCGItem* item) const
{
    return m_items.indexOf(const_cast<OvSubCGItem*>(item));
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
    m_items.append(item);
    m_members.insert(item);
    connect(item, &OvSubCGItem::updateData, this, &OvCGListModel::updateCg);
    if (!m_current)
        setCurrentCg(item);
    emit SingalCGInserted(m_items.size() - 1, item, info);
}

void OvCGListModel::removeCg(OvSubCGItem* item, const operatorInfo& info)
{
    // Not ours (or already removed): deleting it again would be a double free.
    if (!item || !m_members.contains(item))
        return;
    const int index = m_items.indexOf(item);
    m_items.removeAt(index);
    m_members.remove(item);
    item->disconnect(this);
    if (item == m_current)
        setCurrentCg(nullptr);
    emit SingalCGRemoved(index, item, info);
    item->deleteLater();
}

void OvCGListModel::clearCg()
{
    while (!m_items.isEmpty())
        removeCg(m_items.first(), localOperatorInfo());
}

void OvCGListModel::resetCgList(const QList<cgItemData>& list)
{
    clearCg();
    m_items.reserve(list.size());
    m_members.reserve(list.size());
    for (const cgItemData& data : list)
        insertCg(new OvSubCGItem(data), localOperatorInfo());
}

void OvCGListModel::moveCg(int from, int to, const operatorInfo& info)
{
    if (from < 0 || from >= m_items.size())
        return;
    // Targets outside the list clamp to its ends; listeners get the target
    // as the caller gave it.
    const int target = qBound(0, to, m_items.size() - 1);
    OvSubCGItem* item = m_items.takeAt(from);
    m_items.insert(target, item);
    emit SignalCgMoved(item, from, to, info);
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

void OvCGListModel::sendPgm()
{
    if (m_current && m_current->status() != 1 && m_current->status() != 3)
        publish(1);
}

void OvCGListModel::sendPvw()
{
    if (m_current && m_current->status() != 2 && m_current->status() != 3)
        publish(2);
}

void OvCGListModel::cancelPublish()
{
    if (m_current && m_current->status() != 0 && m_current->status() != 3)
        publish(0);
}

void OvCGListModel::publish(int targetStatus)
{
    OvSubCGItem* item = m_current;
    const QUuid requestId = QUuid::createUuid();
    operatorInfo info;
    info.operationID = requestId.toString();
    info.operatorName = instanceGuid();
    // Provisional "sending" state until the server reports the new status.
    item->setStatus(3, info);
    const cgItemData data = item->data();
    OvTransferServer::instance()->sendUpdateCG(data, 1, QVariant(targetStatus), requestId);
}

void OvCGListModel::updateCg(int updateType, operatorInfo info)
{
    auto* item = qobject_cast<OvSubCGItem*>(sender());
    if (!m_members.contains(item))
        return;
    const int index = m_items.indexOf(item);
    if (index < 0)
        return;
    emit SingalCGUpdate(index, updateType, item, info);
}
