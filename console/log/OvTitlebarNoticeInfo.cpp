#include "log/OvTitlebarNoticeInfo.h"

#include "log/OvCGMessage.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvViewHelpers.h>

#include <QString>

#include <utility>

OvTitlebarNoticeInfo::OvTitlebarNoticeInfo(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("OvTitlebarNoticeInfo"));

    auto* outer = new HNsNmLayout(this);
    outer->setSpacing(40);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("OvTitlebarNoticeInfo_frameLoginInfo"));
    auto* inner = new HNsNmLayout(frame);
    inner->setSpacing(5);
    inner->setContentsMargins(10, 0, 30, 0);

    auto* icon = new OvLabel(QStringLiteral("OvTitlebarNoticeInfo_noticeIcon"), frame);
    inner->addWidget(icon);

    m_pInfo = new OvLabel(QStringLiteral("OvTitlebarNoticeInfo_m_pInfo"), frame);
    // Server-provided names must never be taken for markup.
    m_pInfo->setTextFormat(Qt::PlainText);
    // A long notice is clipped rather than widening the title bar (and so the
    // window's minimum width); the whole text stays in the tool tip.
    m_pInfo->setMinimumWidth(40);
    inner->addWidget(m_pInfo);

    outer->addWidget(frame);

    connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this, &OvTitlebarNoticeInfo::ShowMessageText);
}

OvTitlebarNoticeInfo::~OvTitlebarNoticeInfo() = default;

void OvTitlebarNoticeInfo::ShowMessageText(MessageType messageType, QString time, QString tltle, QString text)
{
    Q_UNUSED(messageType)
    Q_UNUSED(time)
    m_title = std::move(tltle);
    m_text = std::move(text);
    // The first message of a turn shows at once, the rest of a burst once at
    // the turn's end.
    if (m_showQueued) {
        m_stale = true;
        return;
    }
    showLatest();
    m_showQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_showQueued = false;
            if (std::exchange(m_stale, false))
                showLatest();
        },
        Qt::QueuedConnection);
}

void OvTitlebarNoticeInfo::showLatest()
{
    // Server texts can be of any length, and drawing millions of characters
    // takes seconds a repaint; the log file keeps the whole line.
    using OvViewHelpers::capped;
    const QString line = capped(QStringLiteral("%1:%2").arg(capped(m_title), capped(m_text)));
    m_pInfo->setText(line);
    m_pInfo->setToolTip(OvViewHelpers::plainToolTip(line));
}
