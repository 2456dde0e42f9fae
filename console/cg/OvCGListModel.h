#pragma once

#include "cg/cgItemData.h"
#include "cg/operatorInfo.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <deque>

class OvSubCGItem;
class OvThumbnailQueue;
class QTimer;

// A guid as a hash key over all its 128 bits: Qt's own hash of a QUuid folds
// the fields together, so distinct guids can be made to collide at will.
struct OvGuidKey
{
    QUuid uuid;
    bool operator==(const OvGuidKey& other) const { return uuid == other.uuid; }
};
uint qHash(const OvGuidKey& key, uint seed = 0) noexcept;

// The catalogue of CG items offered by the connected server, in the server's
// order, with the operator's current item. The only place that creates, moves
// and ends items; every change is announced with the item's position.
struct OvCgNotification;
struct OvCgRecord;

class OvCGListModel : public QObject
{
    Q_OBJECT
public:
    static OvCGListModel* instance();
    ~OvCGListModel() override;

    // By the guid, or by its text in the braced lower-case form alone.
    OvSubCGItem* findCg(const QUuid& guid) const;
    OvSubCGItem* findCg(const QString& guid) const;
    // The first item of that name in list order; null when none.
    OvSubCGItem* findCgByName(const QString& name) const;
    int indexOfCg(const OvSubCGItem* item) const;
    int count() const;
    OvSubCGItem* cgAt(int index) const;
    QList<OvSubCGItem*> cgList() const;

    // The model takes ownership of inserted items.
    void insertCg(OvSubCGItem* item, const operatorInfo& info);
    void removeCg(OvSubCGItem* item, const operatorInfo& info);
    void clearCg();
    void resetCgList(const QList<cgItemData>& list);
    // The same, with each record's thumbnail as the server's base64 PNG text
    // (thumbnails[i] for list[i]). The items are listed at once; their
    // pictures are decoded on worker threads and shown as they come.
    void resetCgList(const QList<cgItemData>& list, const QStringList& thumbnails);
    // A listed item's picture from the server's base64 PNG text, decoded on a
    // worker thread; a later request for the item wins over an earlier one.
    void decodeThumbnail(OvSubCGItem* item, const QString& base64);
    // The server changed an item's picture: signalled with info at once (the
    // change is logged in its order), the new picture shown when decoded.
    void changeThumbnail(OvSubCGItem* item, const QString& base64, const operatorInfo& info);
    // Pictures asked for and not yet shown.
    int thumbnailsPending() const;
    void moveCg(int from, int to, const operatorInfo& info);

    // The server's catalogue replaces the listed one.
    // unlisted: the server's items past the bound, left out.
    void applyCatalogue(const QList<OvCgRecord>& records, int unlisted = 0);
    // One change the server notified; an unknown target is ignored. False when
    // an addition would take the catalogue past its bound: the item is not
    // listed, only counted. Such items never appear later (their records are
    // not kept); once removals make room, the server's next additions are
    // listed again.
    bool applyNotification(const OvCgNotification& n);
    // Additions left unlisted since the catalogue was last loaded or cleared.
    int unlistedCount() const { return m_unlisted; }

    void setCurrentCg(OvSubCGItem* item);
    OvSubCGItem* currentCg() const;

    // Whether a take of item to targetStatus would be sent: not when the item
    // is not listed, already has that status or awaits an answer.
    bool canTake(const OvSubCGItem* item, int targetStatus) const;

    // Decoded thumbnails of the listed items share this many bytes (1 GiB by
    // default); a picture that does not fit is dropped and its item shows none.
    static constexpr qint64 DefaultImageBudget = 1LL << 30;
    void setImageBudget(qint64 bytes);
    qint64 imageBudget() const;
    qint64 imageBytes() const;
    // Bytes the budget leaves for item's picture, counting its present one as free.
    qint64 imageBytesFree(const OvSubCGItem* item) const;

    // A publish request the server has not answered with a notification by
    // then is given up: the item returns to its earlier status.
    static constexpr int DefaultPublishAnswerMs = 10000;
    void setPublishAnswerTimeout(int ms);

    // The operation identifier of this console's request for item that the
    // server has not yet answered with a status; empty when none is outstanding.
    QString pendingOperationId(const OvSubCGItem* item) const;
    // The item's status as the server last confirmed it: while this console's
    // request is outstanding, the status from before it.
    int confirmedStatus(const OvSubCGItem* item) const;

signals:
    void SingalCGInserted(int index, OvSubCGItem* newCG, operatorInfo info);
    void SingalCGRemoved(int index, OvSubCGItem* theCG, operatorInfo info);
    void SingalCGUpdate(int index, int updateType, OvSubCGItem* theCG, operatorInfo info);
    void SignalCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info);
    void SignalCurrentCGChanged(OvSubCGItem* newCG);
    // The server confirmed a take of this console, ms after it was asked for.
    void takeConfirmed(OvSubCGItem* item, int ms);
    // A listed item's picture was set (decoded, changed or dropped).
    void pictureChanged(OvSubCGItem* item);

private:
    // Takes are asked for through the take command alone, where the lock,
    // the guard and the search's rule live.
    friend class OvTakeCommand;
    // Asks the server for targetStatus; false (nothing sent) when canTake is
    // not. taker: who on this console asked (a remote seat as the log names
    // it), empty for the operator; the confirmation carries it.
    bool publish(OvSubCGItem* item, int targetStatus, const QString& taker = QString());

    void updateCg(OvSubCGItem* item, int updateType, const operatorInfo& info);
    OvCGListModel();
    void giveUpUnanswered();
    void watchForeignSending(OvSubCGItem* item, int previousStatus);
    void admitImage(OvSubCGItem* item);
    void indexGuid(OvSubCGItem* item);
    void unindexGuid(OvSubCGItem* item);
    void reorderGuidChain(const QUuid& guid);

    struct PendingPublish
    {
        QString operationId;
        int previousStatus = 0;
        int targetStatus = 0;
        QElapsedTimer asked;  // monotonic
        QString taker;
    };

    QList<OvSubCGItem*> m_items;
    // Items below this position know where they are (m_position); a removal
    // or move lowers it, a look-up raises it again as far as it walks. Look-ups
    // without changes in between (a bundle of remote commands) cost nothing.
    mutable int m_positionsKnown = 0;
    // Membership of m_items, so that checks stay cheap for large catalogues,
    // with the bytes each item's picture is counted as.
    QHash<const OvSubCGItem*, qint64> m_members;
    // Items by guid, so that a notification finds its item without a walk
    // over the whole catalogue. Items sharing a guid (or having none) form one
    // chain in list order, linked through the items themselves, so that a
    // removal never walks the others.
    struct GuidChain
    {
        OvSubCGItem* first = nullptr;
        OvSubCGItem* last = nullptr;
        void append(OvSubCGItem* item);
    };
    QHash<OvGuidKey, GuidChain> m_byGuid;
    // First item of each name, rebuilt when asked for after the catalogue changed.
    mutable QHash<QString, OvSubCGItem*> m_byName;
    mutable bool m_byNameDirty = true;
    QHash<const OvSubCGItem*, PendingPublish> m_pending;
    // When each request is given up, soonest first.
    struct AnswerDeadline
    {
        QPointer<OvSubCGItem> item;
        QString operationId;
        qint64 dueMs = 0;
    };
    std::deque<AnswerDeadline> m_answerDeadlines;
    QElapsedTimer m_answerClock;
    QTimer* m_answerTimer = nullptr;
    // Items the server put in "sending" (3) without a request of this
    // console: the same give-up applies, else nothing would ever free them.
    struct ForeignSending
    {
        quint64 token = 0;
        int previousStatus = 0;
    };
    QHash<const OvSubCGItem*, ForeignSending> m_foreignSending;
    quint64 m_nextToken = 1;
    // Removed items wait here for the event loop, which deletes them with it:
    // one deferred deletion for a whole catalogue rather than one per item.
    QPointer<QObject> m_graveyard;
    OvThumbnailQueue* m_thumbnails = nullptr;
    // A decoded picture arriving is the follow-up of a change already
    // signalled: the item tells its own listeners, the model does not relay it.
    bool m_applyingThumbnail = false;
    OvSubCGItem* m_current = nullptr;
    qint64 m_imageBytes = 0;
    qint64 m_imageBudget = DefaultImageBudget;
    int m_publishAnswerMs = DefaultPublishAnswerMs;
    int m_unlisted = 0;
};
