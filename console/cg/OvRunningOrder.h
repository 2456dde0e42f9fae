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

#include <memory>

class OvSubCGItem;
class QLockFile;
class QThreadPool;
class QTimer;

// The operator's running order: catalogue items cued in show order by guid,
// one of them marked next. GO takes the next cue to PGM through the take
// command and marks the one after it. A cue may carry a duration: the item is
// taken off air that long after its GO, unless someone took it meanwhile. The
// order is kept per server in a file of its own, written on every change; a
// console that finds the file open on another console shows the order there
// read-only and never writes it.
class OvRunningOrder : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxCues = 10000;
    // A duration longer than this is no graphic's (a day).
    static constexpr int MaxDurationS = 86400;
    // A name is kept this long, and cut with an ellipsis beyond (it is shown
    // while the item is not listed): as long as a view shows server text.
    static constexpr int MaxStoredName = 300;
    // The largest file the writer can make: every name escaped in full.
    static constexpr qint64 MaxFileBytes = qint64(MaxCues) * ((MaxStoredName + 1) * 6 + 128);
    // Files that did not read are kept aside, this many of them a server.
    static constexpr int MaxSetAside = 10;
    // A console renews the lock on its order's file this often; a lock of
    // another machine not renewed for StaleLockMs is taken for a crashed
    // console's (one of this machine is known by its process).
    static constexpr int RenewLockMs = 30000;
    static constexpr int StaleLockMs = 300000;

    struct Cue
    {
        QUuid guid;
        int durationS = 0;  // 0: stays on air
        QString name;       // the item's, as last listed: shown while it is not
        quint64 id = 0;     // this session's own name for the cue, never stored
    };

    // GO and the countdowns take through takes.
    explicit OvRunningOrder(OvTakeCommand* takes, QObject* parent = nullptr);
    // Writes what waits to be written.
    ~OvRunningOrder() override;

    int count() const;
    Cue cueAt(int index) const;
    // The cue's item; null while the catalogue does not list it (the cue is
    // then greyed and skipped).
    OvSubCGItem* itemAt(int index) const;
    // -1 when none.
    int nextIndex() const;
    // The file is open on another console: the order read from it can be
    // played (GO, the next mark), not edited, and is never written.
    bool isReadOnly() const;
    // What GO takes: the next cue whose item is listed; null when none.
    OvSubCGItem* nextItem() const;

    // False past MaxCues, for an item without a guid or while read-only;
    // the other edits do nothing while read-only.
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
    // (empty: kept nowhere), locked against other consoles. A file that does
    // not read is set aside as path + ".<time>.bad" (the last MaxSetAside
    // kept), and the order starts empty.
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
    int listedFrom(int index) const;
    void startCountdown(OvSubCGItem* item, const Cue& cue);
    void stopCountdownOf(quint64 cueId);
    void dropAllCountdowns();
    void dropUnwatched();
    // The cue GO takes; -1 when none.
    int goesTo() const;
    void refusedGo(const QString& why);
    void tick();
    void itemStatusChanged(OvSubCGItem* item);
    void renamed(const OvSubCGItem* item);
    void changedNow();
    void rowChanged(int index);
    Cue makeCue(const QUuid& guid, int durationS, const QString& name);
    void takeLock(const QString& path);
    void renewLock();
    void save();
    void savedTo(const QString& path, const QString& error);

    struct Countdown
    {
        qint64 endMs = 0;
        bool awaitingConfirmation = false;  // of the GO that started it
        quint64 cue = 0;                    // the cue whose GO started it
    };

    OvTakeCommand* m_takes;
    QList<Cue> m_cues;
    int m_next = -1;
    bool m_cuePreview = false;
    QHash<QUuid, Countdown> m_countdowns;
    QElapsedTimer m_clock;
    QTimer* m_ticker = nullptr;
    QString m_path;
    QThreadPool* m_writer = nullptr;
    QSet<QString> m_unsaved;
    bool m_saveFailed = false;
    quint64 m_lastCueId = 0;
    std::unique_ptr<QLockFile> m_lock;
    QString m_lockedPath;
    bool m_readOnly = false;
    QSet<QString> m_toldOpenElsewhere;
    QTimer* m_renew = nullptr;
    QString m_refusedGo;
    QElapsedTimer m_refusedGoNotice;
    OvTurnEnd m_save{this, [this] { save(); }};
};
