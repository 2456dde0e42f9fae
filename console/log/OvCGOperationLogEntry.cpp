#include "log/OvCGOperationLogEntry.h"

#include <OvUIUtility/OvViewHelpers.h>

OvCGOperationLogEntry::OvCGOperationLogEntry(MessageType type, const QString& time, const QString& title,
                                             const QString& text)
    : m_type(type),
      m_time(time),
      m_title(OvViewHelpers::capped(title)),
      m_text(OvViewHelpers::capped(text))
{
}

QVariant OvCGOperationLogEntry::data(int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QStringLiteral("%1\n%2:%3").arg(m_time, m_title, m_text);
    case Qt::UserRole:
        return QStringLiteral("%1:%2").arg(m_title, m_text);
    default:
        return {};
    }
}

QString OvCGOperationLogEntry::titleColor() const
{
    return m_type == OperationMessage ? QStringLiteral("#FF641F") : QStringLiteral("#19e819");
}

const OvWrappedText& OvCGOperationLogEntry::wrapped(const QFont& font) const
{
    if (!m_wrapped.isMeasured() || m_wrapped.font() != font) {
        m_wrapped.setText(m_title + QLatin1Char(':') + m_text, font);
        m_cachedWidth = -1;
    }
    return m_wrapped;
}
