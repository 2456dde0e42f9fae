#pragma once

#include "log/MessageType.h"

#include <QFrame>
#include <QString>

class OvLabel;

// The notice in the middle of the main window's title bar: the latest message of
// the hub as "title:text", until the next one replaces it. Shown as plain text,
// since titles and texts can carry names that come from the server.
class OvTitlebarNoticeInfo : public QFrame
{
    Q_OBJECT
public:
    explicit OvTitlebarNoticeInfo(QWidget* parent);
    ~OvTitlebarNoticeInfo() override;

    OvLabel* infoLabel() const { return m_pInfo; }

private slots:
    void ShowMessageText(MessageType messageType, QString time, QString tltle, QString text);

private:
    // A burst of messages lays the title bar out twice a turn of the event
    // loop at most, not once a message.
    void showLatest();

    OvLabel* m_pInfo = nullptr;
    QString m_title;
    QString m_text;
    bool m_showQueued = false;
    bool m_stale = false;
};
