#include "log/OvFailureNotice.h"

#include "log/OvCGMessage.h"

void OvFailureNotice::failed(const QString& text)
{
    if (m_failed)
        return;
    m_failed = true;
    OvCGMessage::systemLine(text);
}
