#pragma once

#include "cg/operatorInfo.h"
#include "log/MessageType.h"

#include <QFile>
#include <QObject>
#include <QString>

class OvSubCGItem;

// Every operator-visible event passes through here: it is appended to
// log/log.txt beside the program and announced with notifyMessage. Catalogue
// changes from the list model are worded here; this console's own bookkeeping
// changes (those carrying instanceGuid()) are left out.
class OvCGMessage : public QObject
{
    Q_OBJECT
public:
    static OvCGMessage& instance();
    // The title of the console's own lines ("系统").
    static QString systemTitle();
    ~OvCGMessage() override;

    void addMessage(MessageType type, const QString& title, const QString& text);

signals:
    void notifyMessage(MessageType messageType, QString time, QString tltle, QString text);

public slots:
    void slotCGInsert(int index, OvSubCGItem* newCG, operatorInfo info);
    void slotCGRemove(int index, OvSubCGItem* newCG, operatorInfo info);
    void slotCGUpdate(int index, int updateType, OvSubCGItem* theCG, operatorInfo info);
    void SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info);

private:
    OvCGMessage();

    QFile m_logFile;
};
