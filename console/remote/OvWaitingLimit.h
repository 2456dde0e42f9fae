#pragma once

#include <QList>
#include <QString>

class QObject;

// Connections that hold a place before they have proven anything (no request
// yet, or no token), bounded in all and per address. A newcomer past its
// address's bound pushes out that address's oldest; past the bound in all,
// the oldest of the address that holds the most. A flood from one address so
// only ever pushes out its own connections, never a panel elsewhere.
class OvWaitingLimit
{
public:
    OvWaitingLimit(int total, int perAddress);

    // Takes the newcomer in; returns the connection it pushed out (no longer
    // held here), or null.
    QObject* add(QObject* connection, const QString& key);
    void remove(QObject* connection);
    bool contains(const QObject* connection) const;
    int size() const { return m_entries.size(); }
    // The oldest connection, for a sweep of those waiting too long.
    QObject* oldest() const { return m_entries.isEmpty() ? nullptr : m_entries.first().connection; }

private:
    struct Entry
    {
        QObject* connection;
        QString key;
    };
    int m_total;
    int m_perAddress;
    QList<Entry> m_entries;  // oldest first
};
