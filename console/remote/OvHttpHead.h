#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// A request head as a client sent it (up to its blank line), read strictly:
// a request line of method, target and HTTP/1.x, then "Name: value" lines.
// Anything else (a folded line, a line without its colon, a version past
// 1.1) makes it invalid, and a request that says Host or Origin twice is
// one nobody can trust.
class OvHttpHead
{
public:
    explicit OvHttpHead(const QByteArray& head);

    bool isValid() const { return m_valid; }
    const QByteArray& method() const { return m_method; }
    // The path as sent, without its query.
    const QByteArray& path() const { return m_path; }
    // Names compare without regard to case; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool has(const QByteArray& name) const;
    // A GET that asks for a WebSocket ("Upgrade: websocket"); the WebSocket
    // server checks the rest.
    bool asksForWebSocket() const;

private:
    bool m_valid = false;
    QByteArray m_method;
    QByteArray m_path;
    QList<QPair<QByteArray, QByteArray>> m_headers;  // names in lower case
};
