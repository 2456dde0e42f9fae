#include "log/OvWrappedText.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>

void OvWrappedText::setText(const QString& text, const QFont& font)
{
    m_text = text;
    // Line breaks inside a log text would be drawn as boxes; they read as spaces.
    m_text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_font = font;
    const QFontMetricsF metrics(font);
    const int n = m_text.size();
    m_prefix.resize(n + 1);
    m_prefix[0] = 0;
    qreal sum = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = m_text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && m_text.at(i + 1).isLowSurrogate())
            sum += metrics.horizontalAdvance(m_text.mid(i, 2));
        else if (!c.isLowSurrogate())
            sum += metrics.horizontalAdvance(c);
        m_prefix[i + 1] = quint32(qMin<qreal>(sum * Unit, qreal(BreakAfter - 1)));
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, m_text);
    for (int p = finder.toNextBoundary(); p > 0 && p < n; p = finder.toNextBoundary())
        m_prefix[p] |= BreakAfter;
}

qreal OvWrappedText::advance(int from, int to) const
{
    if (from >= to)
        return 0;
    return qreal((m_prefix.at(to) & ~BreakAfter) - (m_prefix.at(from) & ~BreakAfter)) / Unit;
}

template <class OnLine>
void OvWrappedText::wrap(qreal width, OnLine onLine) const
{
    const int n = m_text.size();
    const auto at = [this](int i) { return m_prefix.at(i) & ~BreakAfter; };
    const quint32 limit = quint32(qMax<qreal>(0, width) * Unit);
    int start = 0;
    while (start < n) {
        int lastBreak = -1;
        int i = start;
        for (; i < n; ++i) {
            // Spaces may hang past the end of a line.
            if (!m_text.at(i).isSpace() && at(i + 1) - at(start) > limit)
                break;
            if (m_prefix.at(i + 1) & BreakAfter)
                lastBreak = i + 1;
        }
        if (i == n) {
            onLine(n);
            return;
        }
        int end = lastBreak > start ? lastBreak : qMax(i, start + 1);
        if (end < n && m_text.at(end).isLowSurrogate())
            ++end;
        onLine(end);
        start = end;
    }
    if (n == 0)
        onLine(0);
}

QVector<int> OvWrappedText::lineEnds(qreal width) const
{
    QVector<int> ends;
    wrap(width, [&ends](int end) { ends.append(end); });
    return ends;
}

int OvWrappedText::lineCount(qreal width) const
{
    int count = 0;
    wrap(width, [&count](int) { ++count; });
    return count;
}
