#include "remote/OvAddressBackoff.h"

#include <QHostAddress>

#include <algorithm>

QString OvAddressBackoff::keyOf(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    Q_IPV6ADDR v6 = address.toIPv6Address();
    std::fill(v6.c + 8, v6.c + 16, quint8(0));
    return QHostAddress(v6).toString() + QStringLiteral("/64");
}

qint64 OvAddressBackoff::waitMs(const QString& key, qint64 nowMs) const
{
    const auto it = m_records.constFind(key);
    return it == m_records.cend() ? 0 : qMax<qint64>(0, it->untilMs - nowMs);
}

void OvAddressBackoff::failed(const QString& key, qint64 nowMs)
{
    if (!m_records.contains(key) && m_records.size() >= MaxAddresses) {
        for (auto it = m_records.begin(); it != m_records.end();)
            it = nowMs - it->lastMs >= ForgetMs ? m_records.erase(it) : std::next(it);
        if (m_records.size() >= MaxAddresses) {
            const auto quietest = std::min_element(m_records.begin(), m_records.end(),
                                                   [](const Record& a, const Record& b) { return a.lastMs < b.lastMs; });
            m_records.erase(quietest);
        }
    }
    Record& record = m_records[key];
    if (record.failures > 0 && nowMs - record.lastMs >= ForgetMs)
        record = Record();
    ++record.failures;
    record.lastMs = nowMs;
    const int over = record.failures - FreeAttempts;
    if (over >= 0)
        record.untilMs = nowMs + std::min(LongestWaitMs, m_firstWaitMs << std::min(over, 15));
}

void OvAddressBackoff::succeeded(const QString& key)
{
    m_records.remove(key);
}
