#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

// Events of one kind (connections pushed out, say) counted and told in a
// system line at most once an interval: the first at once, those that follow
// within the interval together at its end. A flood so makes a line every ten
// seconds rather than one per event, and no event goes untold.
class OvCountedNotice : public QObject
{
public:
    static constexpr int DefaultIntervalMs = 10000;

    // text words a count of events.
    OvCountedNotice(std::function<QString(qint64 count)> text, QObject* parent);

    void add(qint64 count = 1);
    qint64 total() const { return m_total; }

private:
    void tell();

    std::function<QString(qint64)> m_text;
    QTimer* m_timer;
    qint64 m_untold = 0;
    qint64 m_total = 0;
};
