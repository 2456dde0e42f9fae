#include "remote/OvWaitingLimit.h"

#include <QHash>

OvWaitingLimit::OvWaitingLimit(int total, int perAddress) : m_total(total), m_perAddress(perAddress) {}

QObject* OvWaitingLimit::add(QObject* connection, const QString& key)
{
    QHash<QString, int> held;
    for (const Entry& entry : qAsConst(m_entries))
        ++held[entry.key];
    QString from;
    if (held.value(key) >= m_perAddress) {
        from = key;
    } else if (m_entries.size() >= m_total) {
        int most = 0;
        for (const int count : qAsConst(held))
            most = qMax(most, count);
        // The newcomer counts with its own address: a tie goes against it.
        if (held.value(key) > 0 && held.value(key) + 1 >= most) {
            from = key;
        } else {
            for (const Entry& entry : qAsConst(m_entries))
                if (held.value(entry.key) == most) {
                    from = entry.key;
                    break;
                }
        }
    }
    QObject* pushedOut = nullptr;
    if (!from.isNull()) {
        for (int i = 0; i < m_entries.size(); ++i)
            if (m_entries.at(i).key == from) {
                pushedOut = m_entries.takeAt(i).connection;
                break;
            }
    }
    m_entries.append({connection, key});
    return pushedOut;
}

void OvWaitingLimit::remove(QObject* connection)
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries.at(i).connection == connection) {
            m_entries.removeAt(i);
            return;
        }
}

bool OvWaitingLimit::contains(const QObject* connection) const
{
    for (const Entry& entry : m_entries)
        if (entry.connection == connection)
            return true;
    return false;
}
