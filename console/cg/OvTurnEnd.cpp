#include "cg/OvTurnEnd.h"

OvTurnEnd::OvTurnEnd(QObject* context, std::function<void()> run)
    : m_context(context)
    , m_run(std::move(run))
{
}

void OvTurnEnd::request()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            // Already run by runNow().
            if (!m_pending)
                return;
            m_pending = false;
            m_run();
        },
        Qt::QueuedConnection);
}

void OvTurnEnd::runNow()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_run();
}
