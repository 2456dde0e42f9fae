#pragma once

#include "log/MessageType.h"
#include "log/OvCGOperationLogEntry.h"

#include <QAbstractListModel>
#include <QBasicTimer>

#include <vector>

// The operation log's rows, oldest first, at most a cap of them. Entries that
// arrive in one turn of the event loop wait for its end and go in together:
// a burst of messages costs the list one insertion (one layout, one
// accessibility event) and at most one removal of the oldest, not one each.
class OvCGOperationLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit OvCGOperationLogModel(int cap, QObject* parent = nullptr);
    ~OvCGOperationLogModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Shown at the end of this turn of the event loop.
    void append(MessageType type, const QString& time, const QString& title, const QString& text);
    // Shows the entries still waiting for the end of this turn.
    void flush();
    // Empties the log, waiting entries too.
    void clear();

    // The entry of a row; null for anything that is not one.
    const OvCGOperationLogEntry* entryAt(int row) const;

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    const int m_cap;
    std::vector<OvCGOperationLogEntry> m_entries;
    std::vector<OvCGOperationLogEntry> m_pending;
    // A zero timer rather than a posted call, as the view's own delayed
    // layout: Qt fires the other timers that are due in the same pass (the
    // transfer client's next read slice among them), where a posted call each
    // turn held them back for several turns of a burst.
    QBasicTimer m_flushTimer;
};
