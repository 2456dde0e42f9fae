#pragma once

#include <QFont>
#include <QString>
#include <QVector>

class QPainter;
class QPointF;

// A text measured once for its font, then wrapped to any width by arithmetic:
// lines break at word boundaries, or anywhere in a word longer than the line.
// A log pane of thousands of long entries is laid out again at every step of a
// divider drag; shaping each entry anew for every width would take seconds.
class OvWrappedText
{
public:
    void setText(const QString& text, const QFont& font);
    const QString& text() const { return m_text; }
    const QFont& font() const { return m_font; }
    bool isMeasured() const { return !m_prefix.isEmpty(); }

    // End (exclusive) of each line at this width.
    QVector<int> lineEnds(qreal width) const;
    // The same count without keeping the ends: asked for every entry at every
    // step of a divider drag.
    int lineCount(qreal width) const;
    // Width of the characters [from, to), in pixels.
    qreal advance(int from, int to) const;

private:
    template <class OnLine>
    void wrap(qreal width, OnLine onLine) const;

    static constexpr quint32 BreakAfter = 0x80000000u;
    static constexpr qreal Unit = 64.0;  // advances are kept in 1/64 pixel

    QString m_text;
    QFont m_font;
    // m_prefix[i]: width of the first i characters (low 31 bits), and whether
    // a line may end after character i - 1 (the top bit).
    QVector<quint32> m_prefix;
};
