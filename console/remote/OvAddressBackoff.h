#pragma once

#include <QHash>
#include <QString>

class QHostAddress;

// Wrong tokens counted per address: past a few, the address waits before its
// next try, a wait that doubles with every further wrong token up to a bound,
// so that guessing the token takes years instead of hours. A right token
// forgives the address, and so does a long quiet. Times are milliseconds of
// one monotonic clock, given by the caller.
class OvAddressBackoff
{
public:
    static constexpr int FreeAttempts = 3;
    static constexpr qint64 DefaultFirstWaitMs = 1000;
    static constexpr qint64 LongestWaitMs = 30000;
    static constexpr qint64 ForgetMs = 5 * 60 * 1000;
    // Addresses remembered; past it the longest quiet is forgotten first.
    static constexpr int MaxAddresses = 4096;

    // What a limit per address applies to: an IPv4 address (also written as
    // IPv6), or the /64 network of an IPv6 one, since a host may take any
    // address of its network.
    static QString keyOf(const QHostAddress& address);

    explicit OvAddressBackoff(qint64 firstWaitMs = DefaultFirstWaitMs) : m_firstWaitMs(firstWaitMs) {}

    // How long key must still wait at nowMs; 0 when it may try.
    qint64 waitMs(const QString& key, qint64 nowMs) const;
    void failed(const QString& key, qint64 nowMs);
    void succeeded(const QString& key);
    int size() const { return m_records.size(); }

private:
    struct Record
    {
        int failures = 0;
        qint64 lastMs = 0;
        qint64 untilMs = 0;
    };
    qint64 m_firstWaitMs;
    QHash<QString, Record> m_records;
};
