#include "log/OvCountedNotice.h"

#include "log/OvCGMessage.h"

#include <QTimer>

OvCountedNotice::OvCountedNotice(std::function<QString(qint64 count)> text, QObject* parent)
    : QObject(parent), m_text(std::move(text)), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(DefaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_untold > 0)
            tell();
    });
}

void OvCountedNotice::add(qint64 count)
{
    m_total += count;
    m_untold += count;
    if (!m_timer->isActive())
        tell();
}

void OvCountedNotice::tell()
{
    OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(), m_text(m_untold));
    m_untold = 0;
    m_timer->start();
}
