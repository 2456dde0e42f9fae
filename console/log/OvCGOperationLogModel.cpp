#include "log/OvCGOperationLogModel.h"

#include <QTimerEvent>

#include <iterator>

OvCGOperationLogModel::OvCGOperationLogModel(int cap, QObject* parent) : QAbstractListModel(parent), m_cap(cap)
{
    // Room for the whole cap at once: the list never moves its entries to grow
    // (pages are only touched as entries arrive).
    m_entries.reserve(size_t(cap));
}

OvCGOperationLogModel::~OvCGOperationLogModel() = default;

int OvCGOperationLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant OvCGOperationLogModel::data(const QModelIndex& index, int role) const
{
    const OvCGOperationLogEntry* const entry = index.model() == this ? entryAt(index.row()) : nullptr;
    return entry ? entry->data(role) : QVariant();
}

const OvCGOperationLogEntry* OvCGOperationLogModel::entryAt(int row) const
{
    return row >= 0 && size_t(row) < m_entries.size() ? &m_entries[size_t(row)] : nullptr;
}

void OvCGOperationLogModel::append(MessageType type, const QString& time, const QString& title, const QString& text)
{
    m_pending.emplace_back(type, time, title, text);
    // A turn that brings more than the cap shows only its newest; what waits is
    // trimmed now and then so that it stays within twice the cap.
    if (m_pending.size() >= 2 * size_t(m_cap))
        m_pending.erase(m_pending.begin(), m_pending.end() - m_cap);
    if (!m_flushTimer.isActive())
        m_flushTimer.start(0, this);
}

void OvCGOperationLogModel::flush()
{
    m_flushTimer.stop();
    if (m_pending.empty())
        return;
    const size_t cap = size_t(m_cap);
    if (m_pending.size() > cap)
        m_pending.erase(m_pending.begin(), m_pending.end() - m_cap);
    // The oldest give way first, so that the list never holds more than the cap.
    const size_t keep = cap - m_pending.size();
    if (m_entries.size() > keep) {
        const int drop = int(m_entries.size() - keep);
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        m_entries.erase(m_entries.begin(), m_entries.begin() + drop);
        endRemoveRows();
    }
    const int first = int(m_entries.size());
    beginInsertRows(QModelIndex(), first, first + int(m_pending.size()) - 1);
    m_entries.insert(m_entries.end(), std::make_move_iterator(m_pending.begin()),
                     std::make_move_iterator(m_pending.end()));
    m_pending.clear();
    endInsertRows();
}

void OvCGOperationLogModel::clear()
{
    beginResetModel();
    m_entries.clear();
    m_pending.clear();
    endResetModel();
}

void OvCGOperationLogModel::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_flushTimer.timerId())
        flush();
    else
        QAbstractListModel::timerEvent(e);
}
