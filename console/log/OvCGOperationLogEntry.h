#pragma once

#include "log/MessageType.h"
#include "log/OvWrappedText.h"

#include <QString>
#include <QVariant>

// One row of the operation log: its display text is "time\ntitle:text", its
// UserRole data "title:text"; the parts are kept apart for drawing, with the
// height last measured for a width. A plain value: the log keeps thousands of
// them side by side.
class OvCGOperationLogEntry
{
public:
    OvCGOperationLogEntry(MessageType type, const QString& time, const QString& title, const QString& text);

    // The texts are made when asked for rather than stored twice.
    QVariant data(int role) const;

    MessageType messageType() const { return m_type; }
    QString time() const { return m_time; }
    QString title() const { return m_title; }
    QString message() const { return m_text; }
    // "#FF641F" for operation messages, "#19e819" for everything else.
    QString titleColor() const;

    // "title:text" measured for the font, measured once.
    const OvWrappedText& wrapped(const QFont& font) const;

    int cachedHeight(int width) const { return width == m_cachedWidth ? m_cachedHeight : -1; }
    void setCachedHeight(int width, int height) const
    {
        m_cachedWidth = width;
        m_cachedHeight = height;
    }

private:
    MessageType m_type;
    QString m_time;
    QString m_title;
    QString m_text;
    mutable OvWrappedText m_wrapped;
    mutable int m_cachedWidth = -1;
    mutable int m_cachedHeight = -1;
};
