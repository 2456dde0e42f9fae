#pragma once

#include <QObject>

#include <functional>

// Runs a function once at the end of the current turn of the event loop,
// however often it is asked for in the turn: a burst of changes costs one
// repaint, one layout or one write instead of one per change. Dropped when
// the context object goes first.
class OvTurnEnd
{
public:
    OvTurnEnd(QObject* context, std::function<void()> run);

    void request();
    // Runs it now if it was asked for; the turn's end then has nothing left to run.
    void runNow();

private:
    QObject* m_context;
    std::function<void()> m_run;
    bool m_pending = false;
};
