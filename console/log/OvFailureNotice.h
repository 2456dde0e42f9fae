#pragma once

#include <QString>

// A repeated failure (a tally that cannot be sent, say) told once in a system
// line, and told again only after a success in between: the log stays
// readable while a network is down.
class OvFailureNotice
{
public:
    void succeeded() { m_failed = false; }
    void failed(const QString& text);

private:
    bool m_failed = false;
};
