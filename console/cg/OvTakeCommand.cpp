#include "cg/OvTakeCommand.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvTransferServer.h"

#include <QTimer>

#include <algorithm>

namespace {

OvTakeCommand::Action actionFor(int targetStatus)
{
    return targetStatus == OvCgStatus::OnPgm   ? OvTakeCommand::Pgm
           : targetStatus == OvCgStatus::OnPvw ? OvTakeCommand::Pvw
                                               : OvTakeCommand::Cancel;
}

}  // namespace

OvTakeCommand::OvTakeCommand(const OvSearchFilter* filter, QObject* parent) : QObject(parent), m_filter(filter)
{
    // A take-all-off under way ends with the catalogue it was for.
    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this, [this](bool up) {
        if (!up)
            m_toClear.clear();
    });
}

OvTakeCommand::~OvTakeCommand() = default;

QString OvTakeCommand::sourceName(Source source)
{
    switch (source) {
    case ControlBar:
        return tr("控制栏");
    case SingleKey:
        return tr("单键");
    case Keyboard:
        return tr("键盘");
    case Osc:
        return QStringLiteral("OSC");
    case RunningOrder:
        return tr("串联单");
    case RemoteApi:
        return tr("远程接口");
    }
    return QString();
}

void OvTakeCommand::setSeat(const QString& seat)
{
    m_seat = seat;
}

QString OvTakeCommand::askerName(Source source) const
{
    return m_seat.isEmpty() ? sourceName(source) : tr("%1（%2）").arg(sourceName(source), m_seat);
}

bool OvTakeCommand::admitSource(Source source)
{
    if (!m_locked)
        return true;
    if (!m_lockedNotice.isValid() || m_lockedNotice.elapsed() >= LockedNoticeEveryMs) {
        m_lockedNotice.start();
        OvCGMessage::systemLine(tr("发布已锁定，未执行来自%1的命令").arg(askerName(source)));
    }
    return false;
}

bool OvTakeCommand::admit(Action action, QObject* target)
{
    const bool sameTarget = target ? m_lastTargeted && m_lastTarget == target : !m_lastTargeted;
    const bool repeated = m_guardMs > 0 && m_lastPress.isValid() && m_lastPress.elapsed() < m_guardMs
                          && action == m_lastAction && sameTarget;
    // Every press restarts the time, so a bouncing contact or a held key stays one press.
    notePress(action, target);
    if (repeated)
        ++m_ignored;
    return !repeated;
}

void OvTakeCommand::notePress(Action action, QObject* target)
{
    m_lastPress.start();
    m_lastAction = action;
    m_lastTarget = target;
    m_lastTargeted = target != nullptr;
}

OvTakeCommand::Result OvTakeCommand::take(Source source, int targetStatus)
{
    OvCGListModel* const model = OvCGListModel::instance();
    OvSubCGItem* const item = model->currentCg();
    if (!admitSource(source))
        return Locked;
    if (!item)
        return NoItem;
    // A take never acts on an item nobody sees.
    if (m_filter->hides(item))
        return Hidden;
    return send(source, item, targetStatus, true);
}

OvTakeCommand::Result OvTakeCommand::takeAutomatically(Source source, OvSubCGItem* item, int targetStatus)
{
    return takeListed(source, item, targetStatus, false);
}

OvTakeCommand::Result OvTakeCommand::takeItem(Source source, OvSubCGItem* item, int targetStatus)
{
    return takeListed(source, item, targetStatus, true);
}

OvTakeCommand::Result OvTakeCommand::takeListed(Source source, OvSubCGItem* item, int targetStatus, bool pressed)
{
    OvCGListModel* const model = OvCGListModel::instance();
    if (!admitSource(source))
        return Locked;
    if (!item || model->indexOfCg(item) < 0)
        return NoItem;
    // As the operator does it: the tile becomes current, then its button. A
    // take the console makes by itself leaves the operator's current item.
    if (pressed)
        model->setCurrentCg(item);
    return send(source, item, targetStatus, pressed);
}

OvTakeCommand::Result OvTakeCommand::send(Source source, OvSubCGItem* item, int targetStatus, bool pressed)
{
    if (pressed && !admit(actionFor(targetStatus), item))
        return Repeated;
    // A seat's take is confirmed in its name; the operator's own in none.
    if (!OvCGListModel::instance()->publish(item, targetStatus, m_seat.isEmpty() ? QString() : askerName(source)))
        return Refused;
    emit taken(source, item, targetStatus);
    return Taken;
}

OvTakeCommand::Result OvTakeCommand::clearAll(Source source)
{
    if (!admitSource(source))
        return Locked;
    if (!admit(ClearAll, nullptr))
        return Repeated;
    m_toClear.clear();
    m_clearSource = source;
    m_clearTaker = m_seat.isEmpty() ? QString() : askerName(source);
    // Items awaiting an answer too: a take just sent may put one on air.
    for (OvSubCGItem* const item : OvCGListModel::instance()->cgList())
        if (OvCgStatus::isOnAir(item->status()) || item->status() == OvCgStatus::Sending)
            m_toClear.append(item);
    if (!m_clearScheduled && !m_toClear.isEmpty())
        clearAllSlice();
    return Taken;
}

int OvTakeCommand::clearAllPending() const
{
    return m_toClear.size();
}

void OvTakeCommand::clearAllSlice()
{
    m_clearScheduled = false;
    if (m_locked && !m_toClear.isEmpty()) {
        // Locked meanwhile: the rest is not sent, and the operator is told.
        const int left = int(std::count_if(m_toClear.cbegin(), m_toClear.cend(), [](const QPointer<OvSubCGItem>& item) {
            return item && item->status() != OvCgStatus::Idle;
        }));
        m_toClear.clear();
        OvCGMessage::systemLine(tr("全部撤下已中止：%1个CG仍在播出").arg(left));
        return;
    }
    OvCGListModel* const model = OvCGListModel::instance();
    const int count = qMin(ClearAllPerTurn, m_toClear.size());
    QList<QPointer<OvSubCGItem>> waiting;
    for (int i = 0; i < count; ++i) {
        OvSubCGItem* const item = m_toClear.at(i);
        // Gone, or taken off meanwhile by someone: nothing to cancel. One
        // awaiting an answer is looked at again once it has one.
        if (item && item->status() == OvCgStatus::Sending)
            waiting.append(item);
        else if (item && OvCgStatus::isOnAir(item->status()) && model->publish(item, OvCgStatus::Idle, m_clearTaker))
            emit taken(m_clearSource, item, OvCgStatus::Idle);
    }
    m_toClear.erase(m_toClear.begin(), m_toClear.begin() + count);
    const bool onlyWaiting = m_toClear.isEmpty();
    m_toClear.append(waiting);
    if (m_toClear.isEmpty())
        return;
    m_clearScheduled = true;
    QTimer::singleShot(onlyWaiting ? WaitingRetryMs : 0, this, &OvTakeCommand::clearAllSlice);
}

void OvTakeCommand::setLocked(bool locked)
{
    if (m_locked == locked)
        return;
    m_locked = locked;
    m_lockedNotice.invalidate();
    OvCGMessage::systemLine(locked ? tr("发布已锁定") : tr("发布已解锁"));
    emit lockedChanged(locked);
}

bool OvTakeCommand::isLocked() const
{
    return m_locked;
}

void OvTakeCommand::setGuardMs(int ms)
{
    m_guardMs = qMax(0, ms);
}

int OvTakeCommand::guardMs() const
{
    return m_guardMs;
}

qint64 OvTakeCommand::ignoredPresses() const
{
    return m_ignored;
}
