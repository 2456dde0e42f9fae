#pragma once

#include "cg/cgItemData.h"
#include "cg/operatorInfo.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class OvSubCGItem;

// The catalogue of CG items offered by the connected server, in the server's
// order, with the operator's current item. The only place that creates, moves
// and ends items; every change is announced with the item's position.
class OvCGListModel : public QObject
{
    Q_OBJECT
public:
    static OvCGListModel* instance();
    ~OvCGListModel() override;

    OvSubCGItem* findCg(const QString& guid) const;
    int indexOfCg(const OvSubCGItem* item) const;
    int count() const;
    OvSubCGItem* cgAt(int index) const;
    QList<OvSubCGItem*> cgList() const;

    // The model takes ownership of inserted items.
    void insertCg(OvSubCGItem* item, const operatorInfo& info);
    void removeCg(OvSubCGItem* item, const operatorInfo& info);
    void clearCg();
    void resetCgList(const QList<cgItemData>& list);
    void moveCg(int from, int to, const operatorInfo& info);

    void setCurrentCg(OvSubCGItem* item);
    OvSubCGItem* currentCg() const;

    // Publish commands for the current item; refused silently when pointless
    // or while an earlier request of this console is outstanding.
    void sendPgm();
    void sendPvw();
    void cancelPublish();

signals:
    void SingalCGInserted(int index, OvSubCGItem* newCG, operatorInfo info);
    void SingalCGRemoved(int index, OvSubCGItem* theCG, operatorInfo info);
    void SingalCGUpdate(int index, int updateType, OvSubCGItem* theCG, operatorInfo info);
    void SignalCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info);
    void SignalCurrentCGChanged(OvSubCGItem* newCG);

public slots:
    void updateCg(int updateType, operatorInfo info);

private:
    OvCGListModel();
    void publish(int targetStatus);

    QList<OvSubCGItem*> m_items;
    // Membership of m_items, so that checks stay cheap for large catalogues.
    QSet<const OvSubCGItem*> m_members;
    OvSubCGItem* m_current = nullptr;
};
