#pragma once

#include "ovuiutility_global.h"

#include <QLabel>
#include <QVariant>

#include <functional>

// A label that can act as a button. Which signals a press emits depends on the
// click mode, set by whichever connect call came last: none, data signals
// (clickedData/dbClickedData with the stored data) or plain ones.
class OVUIUTILITY_EXPORT OvLabel : public QLabel
{
    Q_OBJECT
public:
    enum LabelType { BlackLabel = 0 };
    enum ClickMode { NoClick = 0, DataClick = 1, PlainClick = 2 };

    explicit OvLabel(QWidget* parent = nullptr);
    OvLabel(const QString& name, QWidget* parent);
    ~OvLabel() override;

    void connectClicked(const QObject* receiver, const char* member, Qt::ConnectionType type = Qt::AutoConnection);
    void connectClicked(const QObject* context, std::function<void()> f, Qt::ConnectionType type = Qt::AutoConnection);
    void connectDbClicked(const QObject* receiver, const char* member, Qt::ConnectionType type = Qt::AutoConnection);
    void connectClickedData(const QObject* receiver, const char* member,
                            Qt::ConnectionType type = Qt::AutoConnection);

    void setData(const QVariant& data);
    QVariant getData() const;
    int clickMode() const;
    // Stops emitting; existing connections stay.
    void disableClick();
    bool emitClickedEvent();
    bool emitDbClickedEvent();

    void setType(LabelType type);
    void resetDefaultObjectName();

signals:
    void clicked();
    void clickedData(const QVariant& data);
    void dbClicked();
    void dbClickedData(const QVariant& data);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_clickMode = NoClick;
    QVariant m_data;
};
