#pragma once

#include "cg/OvTakeCommand.h"
#include "cg/OvTurnEnd.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QObject>
#include <QString>
#include <QUuid>

class OvSubCGItem;
class QThreadPool;
class QTimer;

// The operator's running order: catalogue items cued in show order by guid,
// one of them marked next. GO takes the next cue to PGM through the take
// command and marks the one after it. A cue may carry a duration: the item is
// taken off air that long after its GO, unless someone took it meanwhile. The
// order is kept per server in a file of its own, written on every change.
class OvRunningOrder : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxCues = 10000;
    // A duration longer than this is no graphic's (a day).
    static constexpr int MaxDurationS = 86400;
    // A name is kept this long in the file (it is shown while the item is not listed).
    static constexpr int MaxStoredName = 256;
    // The largest file the writer can make: every name escaped in full.
    static constexpr qint64 MaxFileBytes = qint64(MaxCues) * (MaxStoredName * 6 + 128);

    struct Cue
    {
        QUuid guid;
        int durationS = 0;  // 0: stays on air
        QString name;       // the item's, as last listed: shown while it is not
    };

    static OvRunningOrder* instance();
    ~OvRunningOrder() override;

    int count() const;
    Cue cueAt(int index) const;
    // The cue's item; null while the catalogue does not list it (the cue is
    // then greyed and skipped).
    OvSubCGItem* itemAt(int index) const;
    // -1 when none.
    int nextIndex() const;
    // What GO takes: the next cue whose item is listed; null when none.
    OvSubCGItem* nextItem() const;

    // False past MaxCues or for an item without a guid.
    bool insert(int at, const QUuid& guid);
    void remove(int index);
    void move(int from, int to);
    void clear();
    void setNext(int index);
    void setDuration(int index, int seconds);

    // GO: the next cue that is listed goes to PGM; with cue preview, the one
    // after it to PVW if it is off air. A GO that takes nothing says why in
    // one line (the same reason at most once per LockedNoticeEveryMs).
    OvTakeCommand::Result go(OvTakeCommand::Source source);
    void setCuePreview(bool on);

    // Seconds until the item is taken off air; -1 when it is not counting down.
    int secondsLeft(const QUuid& guid) const;
    // The items counting down.
    QList<QUuid> counting() const;

    // Where the order of the server at host:port is kept.
    static QString storePathFor(const QString& host, int port);
    // Keeps the order in path from now on, after reading what it holds there
    // (empty: kept nowhere). A file that does not read is set aside as
    // path + ".bad", and the order starts empty.
    void load(const QString& path);
    // Writes what waits to be written, and waits for it.
    void flush();

signals:
    // The cues, the next mark or a duration changed.
    void changed();
    // What changed, for a view of the rows (it keeps an open editor and the
    // selection through them); each comes before changed(), after the change.
    void cueInserted(int index);
    void cueRemoved(int index);
    void cueMoved(int from, int to);
    // Rows first to last show something else: a duration, a name, the next
    // mark, whether their item is listed.
    void cuesChanged(int first, int last);
    // Anything may have changed: the order was cleared or read.
    void cuesReset();
    // A second of a countdown went by, or one started or ended.
    void countdownChanged();

private:
    OvRunningOrder();
    int listedFrom(int index) const;
    // The cue GO takes; -1 when none.
    int goesTo() const;
    void refusedGo(const QString& why);
    void startCountdown(OvSubCGItem* item, int seconds);
    void tick();
    void itemStatusChanged(OvSubCGItem* item);
    void renamed(const OvSubCGItem* item);
    void changedNow();
    void rowChanged(int index);
    void save();
    void savedTo(const QString& path, bool saved);

    struct Countdown
    {
        qint64 endMs = 0;
        bool awaitingConfirmation = false;  // of the GO that started it
    };

    QList<Cue> m_cues;
    int m_next = -1;
    bool m_cuePreview = false;
    QHash<QUuid, Countdown> m_countdowns;
    QElapsedTimer m_clock;
    QTimer* m_ticker = nullptr;
    QString m_path;
    QThreadPool* m_writer = nullptr;
    QSet<QString> m_unsaved;
    QString m_refusedGo;
    QElapsedTimer m_refusedGoNotice;
    OvTurnEnd m_save{this, [this] { save(); }};
};
