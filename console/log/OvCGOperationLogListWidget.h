#pragma once

#include "log/MessageType.h"

#include <QListView>
#include <QPoint>
#include <QString>

class OvCGOperationLogEntry;
class OvCGOperationLogModel;

// The operation log pane: one two-line entry per message of the hub (time
// above; coloured title, colon and text below), newest at the bottom. Entries
// are drawn by a delegate, and only the newest MaxEntries are kept (the log
// file has them all), so a console that runs for days stays fast and small.
// The messages of one turn of the event loop appear together at its end.
class OvCGOperationLogListWidget : public QListView
{
    Q_OBJECT
public:
    static constexpr int MaxEntries = 10000;

    explicit OvCGOperationLogListWidget(QWidget* parent = nullptr);
    ~OvCGOperationLogListWidget() override;

    void addLogEntry(MessageType type, QString time, QString title, QString text);
    // The entry shown for a model index; null for anything that is not one.
    const OvCGOperationLogEntry* entryAt(const QModelIndex& index) const;
    // Entries shown; those of this turn come at its end (logModel()->flush()).
    int count() const;
    OvCGOperationLogModel* logModel() const { return m_model; }

public slots:
    void clear();

signals:
    void mouseMove(QPoint pos);
    void resizeWidget();

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    OvCGOperationLogModel* const m_model;
};
