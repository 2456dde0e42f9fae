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
    // One of the console's own lines, titled as such.
    static void systemLine(const QString& text);
    ~OvCGMessage() override;

    void addMessage(MessageType type, const QString& title, const QString& text);
    // Writes the lines still waiting for the end of this turn of the event loop.
    void flushLog();

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
    // Lines are written once per turn of the event loop, in one write: a
    // burst of notifications costs one system call, not one each.
    QByteArray m_pendingLines;
    bool m_flushQueued = false;
    // The minute the time texts were last made for, and its text.
    qint64 m_minute = -1;
    QString m_minuteText;
};
