#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class OvHttpHead;

// Who may reach the remote API's port from a browser. The console's own
// names and addresses are those it listens on (every address of the
// machine's interfaces when it listens on all), the loopback names, the
// machine's host name and the names the operator lists; a page is served
// only to a request for one of them, so a name that an attacker's DNS points
// at the console (DNS rebinding) gets nothing. A request with an Origin (a
// web page) gets in when that origin is the page's own (the scheme and the
// Host it asked for) or one the operator allowed, and always only for one of
// the console's own names. Clients without an Origin (panel software) are
// not browsers and not held to the Host rule.
class OvApiAccess
{
public:
    // The interfaces' addresses are looked at again after this long.
    static constexpr int AddressesFreshMs = 5000;

    void setListenAddress(const QHostAddress& address);
    // Names (or addresses) the operator gives the console.
    void setExtraHosts(const QStringList& hosts);
    // Origins (as a browser sends them, e.g. "http://panel.local:8000") allowed in.
    void setAllowedOrigins(const QStringList& origins);

    // The page and its files.
    bool admitsPage(const OvHttpHead& head) const;
    // A WebSocket handshake.
    bool admitsUpgrade(const OvHttpHead& head) const;

    // Whether a Host header ("name", "name:port", "[v6]:port") names the console.
    bool isOwnHost(const QByteArray& host) const;
    // Scheme and host in lower case, without a slash at the end.
    static QString normalOrigin(const QString& origin);

private:
    bool originAllowed(const OvHttpHead& head) const;
    const QList<QHostAddress>& ownAddresses() const;

    QHostAddress m_address{QHostAddress::LocalHost};
    QSet<QString> m_names;
    QSet<QString> m_extra;
    QStringList m_origins;
    mutable QList<QHostAddress> m_addresses;
    mutable QElapsedTimer m_addressesAge;
};
