#include "remote/OvApiAccess.h"

#include "remote/OvHttpHead.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace {

// A name compares in lower case, without the dot that may end it.
QString normalName(QString name)
{
    name = name.trimmed().toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

bool isPort(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The host a Host header names, without its port; empty when it is no host.
QByteArray hostOf(const QByteArray& host)
{
    for (const char c : host)
        if (uchar(c) <= 0x20 || uchar(c) >= 0x7f)
            return {};
    if (host.startsWith('[')) {
        const int end = host.indexOf(']');
        const QByteArray rest = end < 0 ? QByteArray() : host.mid(end + 1);
        if (end < 0 || (!rest.isEmpty() && !(rest.startsWith(':') && isPort(rest.mid(1)))))
            return {};
        return host.mid(1, end - 1);
    }
    const int colon = host.indexOf(':');
    if (colon < 0)
        return host;
    return host.lastIndexOf(':') == colon && isPort(host.mid(colon + 1)) ? host.left(colon) : QByteArray();
}

bool isName(const QByteArray& name)
{
    for (const char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                             || c == '.' || c == '_';
        if (!allowed)
            return false;
    }
    return !name.isEmpty();
}

}  // namespace

void OvApiAccess::setListenAddress(const QHostAddress& address)
{
    m_address = address;
    m_names = {QStringLiteral("localhost")};
    const QString host = normalName(QHostInfo::localHostName());
    if (!host.isEmpty()) {
        m_names.insert(host);
        // As the gallery's tablets find it by multicast DNS.
        m_names.insert(host + QStringLiteral(".local"));
        const QString domain = normalName(QHostInfo::localDomainName());
        if (!domain.isEmpty())
            m_names.insert(host + QLatin1Char('.') + domain);
    }
    m_addressesAge.invalidate();
}

void OvApiAccess::setExtraHosts(const QStringList& hosts)
{
    m_extra.clear();
    for (const QString& host : hosts) {
        // An address in any of its written forms, with or without brackets and port.
        const QHostAddress bare(host.trimmed());
        const QString name = bare.isNull() ? QString::fromLatin1(hostOf(host.trimmed().toLatin1())) : QString();
        const QHostAddress address = bare.isNull() ? QHostAddress(name) : bare;
        if (!address.isNull())
            m_extra.insert(address.toString());
        else if (!name.isEmpty())
            m_extra.insert(normalName(name));
    }
}

void OvApiAccess::setAllowedOrigins(const QStringList& origins)
{
    m_origins.clear();
    for (const QString& origin : origins)
        m_origins.append(normalOrigin(origin));
}

QString OvApiAccess::normalOrigin(const QString& origin)
{
    QString normal = origin.trimmed().toLower();
    while (normal.endsWith(QLatin1Char('/')))
        normal.chop(1);
    return normal;
}

bool OvApiAccess::admitsPage(const OvHttpHead& head) const
{
    return isOwnHost(head.header("Host")) && (head.header("Origin").isEmpty() || originAllowed(head));
}

bool OvApiAccess::admitsUpgrade(const OvHttpHead& head) const
{
    // Panel software says nothing of where it comes from: no browser, no rebinding.
    if (head.header("Origin").isEmpty())
        return true;
    return isOwnHost(head.header("Host")) && originAllowed(head);
}

bool OvApiAccess::originAllowed(const OvHttpHead& head) const
{
    const QString origin = normalOrigin(QString::fromLatin1(head.header("Origin")));
    // The page's own: served for the very host the browser asked for (behind
    // a proxy that speaks TLS for the console, with https).
    const QString host = QString::fromLatin1(head.header("Host")).toLower();
    if (origin == QStringLiteral("http://") + host || origin == QStringLiteral("https://") + host)
        return true;
    return m_origins.contains(origin);
}

bool OvApiAccess::isOwnHost(const QByteArray& hostHeader) const
{
    const QByteArray host = hostOf(hostHeader.trimmed());
    const QHostAddress address(QString::fromLatin1(host));
    if (address.isNull()) {
        if (!isName(host))
            return false;
        const QString name = normalName(QString::fromLatin1(host));
        return m_names.contains(name) || m_extra.contains(name);
    }
    // An address is written one way in a URL; "0.0.0.0" names no machine.
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6)
        return false;
    if (address.isLoopback() || address.isEqual(m_address, QHostAddress::ConvertV4MappedToIPv4)
        || m_extra.contains(address.toString()))
        return true;
    if (m_address != QHostAddress::Any && m_address != QHostAddress::AnyIPv4 && m_address != QHostAddress::AnyIPv6)
        return false;
    for (const QHostAddress& own : ownAddresses())
        if (address.isEqual(own, QHostAddress::ConvertV4MappedToIPv4))
            return true;
    return false;
}

const QList<QHostAddress>& OvApiAccess::ownAddresses() const
{
    // An address the machine gains (a cable plugged, DHCP) counts soon after.
    if (!m_addressesAge.isValid() || m_addressesAge.elapsed() >= AddressesFreshMs) {
        m_addresses.clear();
        for (QHostAddress address : QNetworkInterface::allAddresses()) {
            // A browser's URL carries no zone: fe80::1%eth0 arrives as fe80::1.
            address.setScopeId(QString());
            m_addresses.append(address);
        }
        m_addressesAge.start();
    }
    return m_addresses;
}
