#pragma once

#include "cg/OvTurnEnd.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class OvCGListModel;
class OvRunningOrder;
class OvSubCGItem;
class OvTakeCommand;
class OvTransferServer;

// What a remote surface shows, derived once: the connection, the lock, the
// current item, the running order's next cue and its cues, and each listed
// item's confirmed status, name, position and picture version. The changes of
// a turn of the event loop are collected and handed to every surface at its
// end (the WebSocket API, the OSC tally and TSL format them for their wire);
// no surface listens to the model, the lock or the connection itself.
// The statuses are the ones the server confirmed, never this console's own
// "sending", and a status another console's request holds in "sending" is no
// change either: the server's answer follows.
class OvStateFeed : public QObject
{
    Q_OBJECT
public:
    // A structural change of the catalogue, in the order it happened;
    // positions from 0, valid at the time of the change.
    struct Op
    {
        enum Kind { Inserted, Removed, Moved };
        Kind kind;
        int from;  // Inserted: the new position; Removed, Moved: the old one
        int to;    // Moved: the new position
        QPointer<OvSubCGItem> item;  // null for Removed (the item may be gone)
        QString guid;
    };

    struct Take
    {
        QPointer<OvSubCGItem> item;
        int ms;
    };

    struct Changes
    {
        bool connection = false;
        bool lock = false;
        bool current = false;
        bool nextCue = false;
        // The cues were added, removed, moved, cleared or read: send them all.
        bool cueStructure = false;
        // Rows whose cue shows another name or duration (with no structure change).
        QVector<int> cueRows;
        // A new catalogue (a login, a disconnection, or more changes in one
        // turn than are worth sending one by one): ops is then empty.
        bool catalogueReset = false;
        QVector<Op> ops;
        int countBefore = 0;  // the catalogue's size at the turn's start
        // Items whose confirmed status, name or picture changed, each once.
        QList<QPointer<OvSubCGItem>> statuses;
        QList<QPointer<OvSubCGItem>> names;
        QList<QPointer<OvSubCGItem>> pictures;
        QVector<Take> takes;

        bool isEmpty() const;
    };

    // Structural changes a turn carries one by one; beyond, the catalogue is
    // sent again.
    static constexpr int MaxOpsPerTurn = 256;

    OvStateFeed(OvCGListModel* model, OvTakeCommand* takes, OvRunningOrder* order, OvTransferServer* transfer,
                QObject* parent = nullptr);

    bool connected() const;
    // "host:port" while connected, else empty.
    QString server() const;
    bool locked() const;
    OvSubCGItem* current() const;
    int count() const;
    OvSubCGItem* itemAt(int index) const;
    int indexOf(const OvSubCGItem* item) const;
    int confirmedStatus(const OvSubCGItem* item) const;
    // 0 without a picture; another number each time the picture itself
    // changed (a change announced before its picture is decoded keeps the
    // old one, and its version, until then).
    qint64 pictureVersion(const OvSubCGItem* item) const;
    // The running order: the next cue's row, -1 when none.
    int nextCue() const;
    int cueCount() const;
    QString cueGuid(int row) const;
    // The listed item's name, else the one kept with the cue.
    QString cueName(int row) const;
    int cueDuration(int row) const;

    // Structural changes of this turn not yet handed out: the catalogue as it
    // is now is not yet what the surfaces' clients were told.
    bool structurePending() const { return m_changes.catalogueReset || !m_changes.ops.isEmpty(); }

signals:
    // Once per turn of the event loop that changed anything.
    void changed(const OvStateFeed::Changes& changes);

private:
    void structural(OvStateFeed::Op op);
    void itemChanged(QList<QPointer<OvSubCGItem>>* list, OvSubCGItem* item, int flag);
    void flush();

    OvCGListModel* m_model;
    OvTakeCommand* m_takes;
    OvRunningOrder* m_order;
    OvTransferServer* m_transfer;
    OvTurnEnd m_flush;
    Changes m_changes;
    // Which of the lists an item is in this turn (bits: status, name, picture).
    QHash<const OvSubCGItem*, int> m_marked;
    struct PictureVersion
    {
        qint64 version = 0;
        qint64 cacheKey = 0;
    };
    mutable QHash<const OvSubCGItem*, PictureVersion> m_pictureVersions;
    mutable qint64 m_pictureSerial = 0;
    bool m_counted = false;
    // The cue rows the order said changed this turn, first to last (-1:
    // none), compared with what was told.
    QPair<int, int> m_cueRange{-1, -1};
    struct ToldCue
    {
        QString name;
        int duration;
    };
    QVector<ToldCue> m_toldCues;
    ToldCue toldCue(int row) const;
    int m_toldNext = -1;
};
