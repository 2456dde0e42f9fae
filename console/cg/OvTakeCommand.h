#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class OvSearchFilter;
class OvSubCGItem;

// The one way to take: every source (the control bar, the single keys, the
// keyboard, OSC, the running order, the remote API) asks here, so the rules
// live once: the model's refusals, never an item the search hides unless the
// source named it, the lock, and the guard against a double press.
class OvTakeCommand : public QObject
{
    Q_OBJECT
public:
    enum Source {
        ControlBar,
        SingleKey,
        Keyboard,
        Osc,
        RunningOrder,
        RemoteApi,
    };
    Q_ENUM(Source)

    enum Result {
        Taken,
        NoItem,    // nothing current, or no such item
        Refused,   // the model's rules: the status it has, or an answer awaited
        Hidden,    // the search hides the current item
        Locked,
        Repeated,  // the same command within the guard time
    };
    Q_ENUM(Result)

    // What the guard compares: the same action on the same target.
    enum Action {
        Pgm,
        Pvw,
        Cancel,
        ClearAll,
        Go,
    };

    static constexpr int DefaultGuardMs = 300;
    static constexpr int LockedNoticeEveryMs = 5000;
    // Cancels of a take-all-off sent per turn of the event loop.
    static constexpr int ClearAllPerTurn = 200;
    // How often a take-all-off looks again at items awaiting an answer.
    static constexpr int WaitingRetryMs = 50;

    // The search decides what a take aimed at the current item may act on.
    explicit OvTakeCommand(const OvSearchFilter* filter, QObject* parent = nullptr);
    ~OvTakeCommand() override;

    // The current item to targetStatus (on PGM, on PVW, or off air).
    Result take(Source source, int targetStatus);
    // An item the source named (a position, a name, a cue): it becomes current
    // and is taken whether the search shows it or not.
    Result takeItem(Source source, OvSubCGItem* item, int targetStatus);
    // A take the console makes by itself (the cue after GO to PVW, the end of
    // a duration): the current item stays, and the guard neither holds it
    // back nor takes it for a press.
    Result takeAutomatically(Source source, OvSubCGItem* item, int targetStatus);
    // A cancel for every item on PGM or PVW, paced over turns of the event loop.
    Result clearAll(Source source);
    // Items a take-all-off has still to cancel.
    int clearAllPending() const;
    // For commands of their own (GO): false, and counted, when action on
    // target (null: none) repeats the previous press within the guard time.
    // Records the press.
    bool admit(Action action, QObject* target);
    // Records a press without asking the guard.
    void notePress(Action action, QObject* target);
    // Whether a source may take now (not locked); a refusal is said at most
    // once per LockedNoticeEveryMs.
    bool admitSource(Source source);

    void setLocked(bool locked);
    bool isLocked() const;

    // 0 turns the guard off.
    void setGuardMs(int ms);
    int guardMs() const;
    qint64 ignoredPresses() const;

    // The source as the log names it.
    static QString sourceName(Source source);
    // The remote seat (its name) whose command is being run; empty: none.
    // The takes meanwhile, and their refusals, name it in the log.
    void setSeat(const QString& seat);
    // Who asks, as the log names it: the source, with the seat if one is set.
    QString askerName(Source source) const;

signals:
    void lockedChanged(bool locked);
    // A take was sent to the server.
    void taken(OvTakeCommand::Source source, OvSubCGItem* item, int targetStatus);

private:
    // An item the caller named, if still listed; pressed: it becomes current
    // and the guard judges the press.
    Result takeListed(Source source, OvSubCGItem* item, int targetStatus, bool pressed);
    Result send(Source source, OvSubCGItem* item, int targetStatus, bool pressed);
    void clearAllSlice();

    const OvSearchFilter* m_filter;
    bool m_locked = false;
    int m_guardMs = DefaultGuardMs;
    qint64 m_ignored = 0;
    QElapsedTimer m_lastPress;
    Action m_lastAction = Pgm;
    // Watched: an item that went is no target, whatever takes its address.
    QPointer<QObject> m_lastTarget;
    bool m_lastTargeted = false;
    QElapsedTimer m_lockedNotice;
    QList<QPointer<OvSubCGItem>> m_toClear;
    Source m_clearSource = Keyboard;
    QString m_seat;
    // Who asked for the take-all-off under way, for its later slices.
    QString m_clearTaker;
    bool m_clearScheduled = false;
};
