#include "remote/OvHttpHead.h"

namespace {

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && !QByteArray("!#$%&'*+-.^_`|~").contains(c))
            return false;
    }
    return true;
}

bool isVisible(const QByteArray& text)
{
    for (const char c : text)
        if (uchar(c) <= 0x20 || uchar(c) == 0x7f)
            return false;
    return !text.isEmpty();
}

}  // namespace

OvHttpHead::OvHttpHead(const QByteArray& head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return;
    const QList<QByteArray> request = lines.first().split(' ');
    if (request.size() != 3 || !isToken(request.at(0)) || !isVisible(request.at(1))
        || (request.at(2) != "HTTP/1.1" && request.at(2) != "HTTP/1.0"))
        return;
    m_method = request.at(0);
    const QByteArray& target = request.at(1);
    m_path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const int colon = line.indexOf(':');
        // A folded line continues the one before: old, and a way to smuggle.
        if (colon <= 0 || !isToken(line.left(colon)))
            return;
        const QByteArray name = line.left(colon).toLower();
        if ((name == "host" || name == "origin") && has(name))
            return;
        m_headers.append({name, line.mid(colon + 1).trimmed()});
    }
    m_valid = true;
}

QByteArray OvHttpHead::header(const QByteArray& name) const
{
    const QByteArray lower = name.toLower();
    for (const auto& [key, value] : m_headers)
        if (key == lower)
            return value;
    return {};
}

bool OvHttpHead::has(const QByteArray& name) const
{
    const QByteArray lower = name.toLower();
    for (const auto& header : m_headers)
        if (header.first == lower)
            return true;
    return false;
}

bool OvHttpHead::asksForWebSocket() const
{
    if (!m_valid || m_method != "GET")
        return false;
    for (const auto& [key, value] : m_headers)
        if (key == "upgrade" && value.toLower().contains("websocket"))
            return true;
    return false;
}
