#include "cg/OvRunningOrder.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace {

constexpr int TickMs = 250;

bool loggedIn()
{
    return OvTransferServer::instance()->isLoggedIn();
}


// Cut as the views cut server text, so that a name from a file or a server
// costs nothing to keep, show or write.
QString cappedName(const QString& name)
{
    if (name.size() <= OvRunningOrder::MaxStoredName)
        return name;
    int cut = OvRunningOrder::MaxStoredName;
    if (name.at(cut - 1).isHighSurrogate())
        --cut;
    return name.left(cut) + QChar(0x2026);
}

// A copy of path set aside is named path.<yyyyMMdd-hhmmss>.bad, or
// path.<yyyyMMdd-hhmmss>_<n>.bad when one that second has the name already
// (path.bad as older versions named it): its time and number, to put the
// copies in order.
using CopyKey = QPair<QString, int>;

CopyKey copyKey(const QString& path, const QString& fileName)
{
    const int prefix = QFileInfo(path).fileName().size() + 1;
    const QString stamp = fileName.mid(prefix, fileName.size() - prefix - 4);
    return {stamp.section(QLatin1Char('_'), 0, 0), stamp.section(QLatin1Char('_'), 1).toInt()};
}

// The copies of path set aside, oldest first, as file names.
QStringList setAsideCopies(const QString& path)
{
    const QFileInfo info(path);
    QStringList names = info.dir().entryList({info.fileName() + QStringLiteral(".*bad")}, QDir::Files | QDir::System);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !name.endsWith(QLatin1String(".bad")); }),
                names.end());
    std::sort(names.begin(), names.end(),
              [&path](const QString& a, const QString& b) { return copyKey(path, a) < copyKey(path, b); });
    return names;
}

// Moves an unreadable file out of the way under a name of its own, after
// every copy made before, and keeps the newest copies only. Returns where it
// went (empty: it stayed).
QString setAside(const QString& path)
{
    QDir dir = QFileInfo(path).dir();
    QStringList copies = setAsideCopies(path);
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const CopyKey newest = copies.isEmpty() ? CopyKey() : copyKey(path, copies.last());
    int n = newest.first == now ? qMax(newest.second, 1) + 1 : 0;
    QString aside;
    do {
        aside = path + QLatin1Char('.') + now + (n > 0 ? QLatin1Char('_') + QString::number(n) : QString())
                + QStringLiteral(".bad");
        n = qMax(n, 1) + 1;
    } while (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink());
    if (!QFile::rename(path, aside))
        return QString();
    copies.append(QFileInfo(aside).fileName());
    while (copies.size() > OvRunningOrder::MaxSetAside)
        dir.remove(copies.takeFirst());
    return aside;
}

}  // namespace

OvRunningOrder::OvRunningOrder(OvTakeCommand* takes, QObject* parent)
    : QObject(parent)
    , m_takes(takes)
    , m_ticker(new QTimer(this))
    , m_writer(new QThreadPool(this))
    , m_renew(new QTimer(this))
{
    m_writer->setMaxThreadCount(1);
    m_clock.start();
    m_ticker->setInterval(TickMs);
    connect(m_ticker, &QTimer::timeout, this, &OvRunningOrder::tick);
    m_renew->setInterval(RenewLockMs);
    connect(m_renew, &QTimer::timeout, this, &OvRunningOrder::renewLock);
    m_renew->start();
    OvCGListModel* const model = OvCGListModel::instance();
    connect(model, &OvCGListModel::SingalCGUpdate, this,
            [this](int, int updateType, OvSubCGItem* item, const operatorInfo&) {
                if (updateType == OvSubCGItem::StatusUpdate)
                    itemStatusChanged(item);
                else if (updateType == OvSubCGItem::NameUpdate)
                    renamed(item);
            });
    // Cues grey and come back with their items.
    const auto listed = [this] {
        if (!m_cues.isEmpty())
            emit cuesChanged(0, m_cues.size() - 1);
        emit changed();
    };
    connect(model, &OvCGListModel::SingalCGInserted, this, listed);
    connect(model, &OvCGListModel::SingalCGRemoved, this, listed);
    OvTransferServer* const client = OvTransferServer::instance();
    connect(client, &OvTransferServer::signalConnect, this, [this, client](bool up) {
        // Away, the console sees nothing of what happens to an item: another
        // desk may take it off and on again. A countdown must not act on
        // what it could not watch.
        dropUnwatched();
        // A reconnection to the same server keeps the order as it is; one
        // that was open elsewhere is read again, and may be free now.
        const QString path = storePathFor(client->host(), client->port());
        if (up && (path != m_path || m_readOnly))
            load(path);
    });
}

OvRunningOrder::~OvRunningOrder()
{
    // The last edit reaches the disk before the program ends; the lock goes
    // after the last write.
    flush();
    m_writer->waitForDone();
}

int OvRunningOrder::count() const
{
    return m_cues.size();
}

OvRunningOrder::Cue OvRunningOrder::cueAt(int index) const
{
    return m_cues.value(index);
}

OvSubCGItem* OvRunningOrder::itemAt(int index) const
{
    if (index < 0 || index >= m_cues.size())
        return nullptr;
    return OvCGListModel::instance()->findCg(m_cues.at(index).guid);
}

int OvRunningOrder::nextIndex() const
{
    return m_next;
}

bool OvRunningOrder::isReadOnly() const
{
    return m_readOnly;
}

OvRunningOrder::Cue OvRunningOrder::makeCue(const QUuid& guid, int durationS, const QString& name)
{
    return Cue{guid, durationS, cappedName(name), ++m_lastCueId};
}

bool OvRunningOrder::insert(int at, const QUuid& guid)
{
    if (guid.isNull() || m_cues.size() >= MaxCues || m_readOnly)
        return false;
    at = qBound(0, at, m_cues.size());
    const OvSubCGItem* const item = OvCGListModel::instance()->findCg(guid);
    m_cues.insert(at, makeCue(guid, 0, item ? item->name() : QString()));
    if (m_next < 0)
        m_next = at;
    else if (at <= m_next)
        ++m_next;
    emit cueInserted(at);
    changedNow();
    return true;
}

void OvRunningOrder::remove(int index)
{
    if (index < 0 || index >= m_cues.size() || m_readOnly)
        return;
    // The item stays on air as long as it is, unless another GO counts it down.
    stopCountdownOf(m_cues.takeAt(index).id);
    const bool markPassedOn = index == m_next;
    if (index < m_next)
        --m_next;
    if (m_next >= m_cues.size())
        m_next = -1;
    emit cueRemoved(index);
    // The cue after the marked one took its place, and its mark.
    if (markPassedOn)
        rowChanged(m_next);
    changedNow();
}

void OvRunningOrder::move(int from, int to)
{
    if (from < 0 || from >= m_cues.size() || to < 0 || to >= m_cues.size() || from == to || m_readOnly)
        return;
    m_cues.move(from, to);
    // The mark stays on its cue.
    if (m_next == from)
        m_next = to;
    else if (from < m_next && to >= m_next)
        --m_next;
    else if (from > m_next && to <= m_next && m_next >= 0)
        ++m_next;
    emit cueMoved(from, to);
    changedNow();
}

void OvRunningOrder::clear()
{
    if (m_cues.isEmpty() || m_readOnly)
        return;
    dropAllCountdowns();
    m_cues.clear();
    m_next = -1;
    emit cuesReset();
    changedNow();
}

void OvRunningOrder::setNext(int index)
{
    if (index < 0 || index >= m_cues.size() || index == m_next)
        return;
    rowChanged(std::exchange(m_next, index));
    rowChanged(m_next);
    changedNow();
}

void OvRunningOrder::setDuration(int index, int seconds)
{
    if (index < 0 || index >= m_cues.size() || m_readOnly)
        return;
    m_cues[index].durationS = qBound(0, seconds, MaxDurationS);
    // No time off air any more; another duration leaves a running countdown
    // as its GO started it.
    if (m_cues.at(index).durationS == 0)
        stopCountdownOf(m_cues.at(index).id);
    rowChanged(index);
    changedNow();
}

void OvRunningOrder::setCuePreview(bool on)
{
    m_cuePreview = on;
}

int OvRunningOrder::listedFrom(int index) const
{
    for (int i = qMax(0, index); i < m_cues.size(); ++i)
        if (itemAt(i))
            return i;
    return -1;
}

OvTakeCommand::Result OvRunningOrder::go(OvTakeCommand::Source source)
{
    OvTakeCommand* const takes = m_takes;
    // Refused and said there.
    if (!takes->admitSource(source))
        return OvTakeCommand::Locked;
    // A double press takes one cue, not two; the first press had its say.
    if (!takes->admit(OvTakeCommand::Go, nullptr))
        return OvTakeCommand::Repeated;
    // Past the last cue the order is done until a cue is marked again.
    const int at = goesTo();
    if (at < 0) {
        refusedGo(m_cues.isEmpty()       ? tr("串联单是空的")
                  : m_next < 0           ? tr("串联单已执行到最后一条")
                  : !loggedIn()          ? tr("未连接studio")
                                         : tr("余下的条目都不在当前CG列表中"));
        return OvTakeCommand::NoItem;
    }
    OvSubCGItem* const item = itemAt(at);
    const bool onAir = item->status() == OvCgStatus::OnPgm;
    const OvTakeCommand::Result result = takes->takeItem(source, item, OvCgStatus::OnPgm);
    // The press the guard remembers is the GO, not the take it made.
    takes->notePress(OvTakeCommand::Go, nullptr);
    // Already on PGM counts as taken: the show moves on.
    if (result != OvTakeCommand::Taken && !onAir) {
        // The model's refusal: the item awaits the server's answer (this
        // console's preview of it, or another desk's take).
        if (result == OvTakeCommand::Refused)
            refusedGo(tr("“%1”正在等待服务器应答").arg(item->name()));
        return result;
    }
    if (m_cues.at(at).durationS > 0)
        startCountdown(item, m_cues.at(at));
    rowChanged(std::exchange(m_next, at + 1 < m_cues.size() ? at + 1 : -1));
    rowChanged(m_next);
    changedNow();
    // The cue GO takes next goes to PVW, only if off air as the server last
    // said: never a graphic on air (the order may cue an item twice, another
    // desk may have it up), nor one awaiting an answer; nothing past the end.
    if (m_cuePreview) {
        const int preview = goesTo();
        OvSubCGItem* const previewed = preview >= 0 ? itemAt(preview) : nullptr;
        if (previewed && previewed->status() == OvCgStatus::Idle)
            takes->takeAutomatically(source, previewed, OvCgStatus::OnPvw);
    }
    return OvTakeCommand::Taken;
}

int OvRunningOrder::goesTo() const
{
    return m_next < 0 ? -1 : listedFrom(m_next);
}

OvSubCGItem* OvRunningOrder::nextItem() const
{
    return itemAt(goesTo());
}

void OvRunningOrder::refusedGo(const QString& why)
{
    // Said at once when the reason is new, else as often as the lock's refusal.
    if (why == m_refusedGo && m_refusedGoNotice.isValid()
        && m_refusedGoNotice.elapsed() < OvTakeCommand::LockedNoticeEveryMs)
        return;
    m_refusedGo = why;
    m_refusedGoNotice.start();
    OvCGMessage::systemLine(tr("GO未执行：%1").arg(why));
}

void OvRunningOrder::startCountdown(OvSubCGItem* item, const Cue& cue)
{
    // One an item: the last GO's, for an item cued twice.
    Countdown& countdown = m_countdowns[QUuid(item->guid())];
    countdown.endMs = m_clock.elapsed() + qint64(cue.durationS) * 1000;
    // The GO's own confirmation is still to come unless the item was on PGM.
    countdown.awaitingConfirmation = item->status() == OvCgStatus::Sending;
    countdown.cue = cue.id;
    m_ticker->start();
    emit countdownChanged();
}

void OvRunningOrder::stopCountdownOf(quint64 cueId)
{
    const auto it = std::find_if(m_countdowns.begin(), m_countdowns.end(),
                                 [cueId](const Countdown& countdown) { return countdown.cue == cueId; });
    if (it == m_countdowns.end())
        return;
    m_countdowns.erase(it);
    if (m_countdowns.isEmpty())
        m_ticker->stop();
    emit countdownChanged();
}

void OvRunningOrder::dropAllCountdowns()
{
    if (m_countdowns.isEmpty())
        return;
    m_countdowns.clear();
    m_ticker->stop();
    emit countdownChanged();
}

void OvRunningOrder::dropUnwatched()
{
    if (m_countdowns.isEmpty())
        return;
    // Named in show order, a few of them.
    constexpr int Named = 10;
    QStringList names;
    int count = 0;
    for (const Cue& cue : qAsConst(m_cues)) {
        const auto it = m_countdowns.constFind(cue.guid);
        if (it == m_countdowns.cend() || it->cue != cue.id)
            continue;
        if (++count <= Named)
            names.append(QStringLiteral("“%1”").arg(cue.name));
    }
    if (count > Named)
        names.append(QStringLiteral("…"));
    dropAllCountdowns();
    OvCGMessage::systemLine(tr("连接中断，串联单的%1个计时已取消，这些CG不会自动撤下：%2").arg(count).arg(names.join(tr("、"))));
}

QList<QUuid> OvRunningOrder::counting() const
{
    return m_countdowns.keys();
}

void OvRunningOrder::renamed(const OvSubCGItem* item)
{
    const QUuid guid(item->guid());
    int first = -1;
    int last = -1;
    const QString name = cappedName(item->name());
    for (int i = 0; i < m_cues.size(); ++i) {
        if (m_cues.at(i).guid == guid) {
            m_cues[i].name = name;
            first = first < 0 ? i : first;
            last = i;
        }
    }
    if (first >= 0) {
        emit cuesChanged(first, last);
        changedNow();
    }
}

int OvRunningOrder::secondsLeft(const QUuid& guid) const
{
    const auto it = m_countdowns.constFind(guid);
    if (it == m_countdowns.cend())
        return -1;
    return int(qMax<qint64>(0, (it->endMs - m_clock.elapsed() + 999) / 1000));
}

void OvRunningOrder::itemStatusChanged(OvSubCGItem* item)
{
    const auto it = m_countdowns.find(QUuid(item->guid()));
    if (it == m_countdowns.end() || item->status() == OvCgStatus::Sending)
        return;
    if (it->awaitingConfirmation && item->status() == OvCgStatus::OnPgm) {
        it->awaitingConfirmation = false;
        return;
    }
    // Someone took the item meanwhile (this console or another desk): the
    // countdown is theirs to overrule.
    m_countdowns.erase(it);
    emit countdownChanged();
}

void OvRunningOrder::tick()
{
    const qint64 now = m_clock.elapsed();
    OvCGListModel* const model = OvCGListModel::instance();
    for (auto it = m_countdowns.begin(); it != m_countdowns.end();) {
        // Not logged in: nothing can be sent (and the countdown goes with the connection).
        if (now < it->endMs || !loggedIn()) {
            ++it;
            continue;
        }
        OvSubCGItem* const item = model->findCg(it.key());
        it = m_countdowns.erase(it);
        if (!item || item->status() != OvCgStatus::OnPgm)
            continue;
        // Locked: the graphic stays, and the operator is told which one.
        if (m_takes->takeAutomatically(OvTakeCommand::RunningOrder, item, OvCgStatus::Idle)
            == OvTakeCommand::Locked) {
            OvCGMessage::systemLine(tr("发布已锁定：“%1”到时未撤下").arg(item->name()));
        }
    }
    if (m_countdowns.isEmpty())
        m_ticker->stop();
    emit countdownChanged();
}

void OvRunningOrder::changedNow()
{
    m_save.request();
    emit changed();
}

void OvRunningOrder::rowChanged(int index)
{
    if (index >= 0 && index < m_cues.size())
        emit cuesChanged(index, index);
}

QString OvRunningOrder::storePathFor(const QString& host, int port)
{
    QString name = host;
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/running-order/")
           + name + QLatin1Char('_') + QString::number(port) + QStringLiteral(".json");
}

void OvRunningOrder::load(const QString& path)
{
    // What the old file still waits for is written before another is read.
    flush();
    // The cues are read anew: no countdown has its cue any more.
    dropAllCountdowns();
    m_path = path;
    m_saveFailed = false;
    m_readOnly = false;
    takeLock(path);
    m_cues.clear();
    m_next = -1;
    QFile file(path);
    const QFileInfo info(path);
    if (!path.isEmpty() && (info.exists() || info.isSymLink())) {
        // Never waits on a FIFO nor follows a link someone put in its place;
        // as large as the writer can make it, and no larger.
        bool ok = info.isFile() && !info.isSymLink() && file.size() <= MaxFileBytes && file.open(QIODevice::ReadOnly);
        const QJsonObject root = ok ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
        file.close();
        const QJsonArray cues = root.value(QStringLiteral("cues")).toArray();
        ok = ok && root.value(QStringLiteral("version")).toInt() == 1 && cues.size() <= MaxCues;
        for (int i = 0; ok && i < cues.size(); ++i) {
            const QJsonObject cue = cues.at(i).toObject();
            const QUuid guid(cue.value(QStringLiteral("guid")).toString());
            const int duration = cue.value(QStringLiteral("duration")).toInt(-1);
            ok = !guid.isNull() && duration >= 0 && duration <= MaxDurationS;
            m_cues.append(makeCue(guid, duration, cue.value(QStringLiteral("name")).toString()));
        }
        const int next = root.value(QStringLiteral("next")).toInt(-2);
        ok = ok && next >= -1 && next < m_cues.size();
        if (ok) {
            m_next = next;
        } else {
            m_cues.clear();
            // Open elsewhere, the file is the other console's to set aside.
            if (!m_readOnly) {
                const QString aside = setAside(path);
                if (!aside.isEmpty()) {
                    OvCGMessage::systemLine(tr("串联单文件无法读取，已另存为%1；串联单从空开始").arg(QDir::toNativeSeparators(aside)));
                } else {
                    // It cannot be moved: it must not be written over either.
                    m_readOnly = true;
                    OvCGMessage::systemLine(tr("串联单文件%1无法读取，也无法移开：这里只读，不会保存").arg(QDir::toNativeSeparators(path)));
                }
            }
        }
    }
    emit cuesReset();
    emit changed();
}

void OvRunningOrder::takeLock(const QString& path)
{
    const QString lockPath = path.isEmpty() ? QString() : path + QStringLiteral(".lock");
    if (m_lock && m_lockedPath == lockPath)
        return;
    m_lock.reset();
    m_lockedPath.clear();
    if (lockPath.isEmpty())
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(lockPath);
    // A live console of this machine is known by its process, whatever the
    // lock's age; one of another machine by the renewals.
    lock->setStaleLockTime(StaleLockMs);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        m_lockedPath = lockPath;
        m_toldOpenElsewhere.remove(path);
        return;
    }
    // A folder that holds no lock at all (no rights) is no other console:
    // the saves say what fails.
    if (lock->error() != QLockFile::LockFailedError)
        return;
    m_readOnly = true;
    if (m_toldOpenElsewhere.contains(path))
        return;
    m_toldOpenElsewhere.insert(path);
    qint64 pid = 0;
    QString host;
    QString application;
    lock->getLockInfo(&pid, &host, &application);
    OvCGMessage::systemLine(tr("串联单%1已在另一台控制台（%2）打开：这里只读，不会保存")
                   .arg(QDir::toNativeSeparators(path), host.isEmpty() ? QStringLiteral("?") : host));
}

void OvRunningOrder::renewLock()
{
    // A save that failed is tried again: the disk may have room now.
    if (m_saveFailed)
        m_save.request();
    // Touched on the writer's thread: a network folder may take its time.
    if (m_lock) {
        m_writer->start([lockPath = m_lockedPath] {
            QFile file(lockPath);
            if (file.open(QIODevice::ReadOnly))
                file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
        });
    }
}

void OvRunningOrder::save()
{
    if (m_path.isEmpty() || m_readOnly)
        return;
    // Made and written on a thread of its own (10,000 cues take milliseconds
    // to write out, and a disk may take its time to sync), from a copy that
    // costs nothing until the next edit. Written aside and renamed over: a
    // crash leaves the last whole order. One writer, so the files land in the
    // order of the edits.
    m_writer->start([this, path = m_path, cues = m_cues, next = m_next] {
        // By hand: Qt's JSON objects cost tens of milliseconds for 10,000 cues.
        QByteArray json = "{\"version\":1,\"next\":" + QByteArray::number(next) + ",\"cues\":[";
        json.reserve(cues.size() * 96 + 64);
        for (int i = 0; i < cues.size(); ++i) {
            const Cue& cue = cues.at(i);
            json += i == 0 ? "{\"guid\":\"" : ",{\"guid\":\"";
            json += cue.guid.toByteArray();
            json += "\",\"duration\":";
            json += QByteArray::number(cue.durationS);
            json += ",\"name\":";
            OvProtocol::appendJsonString(&json, cue.name);
            json += '}';
        }
        json += "]}";
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        // Every step checked before the rename: a full disk shows in the
        // flush (or, on a network folder, in the sync), which the commit
        // would not see, and an empty file would replace the last good one.
        bool saved = file.open(QIODevice::WriteOnly);
        // A write cut short says why only when tried again.
        for (qint64 written = 0, n = 0; saved && written < json.size(); written += n)
            saved = (n = file.write(json.constData() + written, json.size() - written)) > 0;
        saved = saved && file.flush();
        QString error = saved ? QString() : file.errorString();
        if (saved && ::fsync(file.handle()) != 0) {
            saved = false;
            error = QString::fromLocal8Bit(std::strerror(errno));
        }
        if (saved && !file.commit()) {
            saved = false;
            error = file.errorString();
        }
        if (!saved)
            file.cancelWriting();
        QMetaObject::invokeMethod(this, [this, path, error] { savedTo(path, error); }, Qt::QueuedConnection);
    });
}

void OvRunningOrder::savedTo(const QString& path, const QString& error)
{
    if (path == m_path)
        m_saveFailed = !error.isEmpty();
    // Said once a path, again after a save there worked.
    if (error.isEmpty()) {
        m_unsaved.remove(path);
    } else if (!m_unsaved.contains(path)) {
        m_unsaved.insert(path);
        OvCGMessage::systemLine(tr("串联单无法保存到%1：%2").arg(QDir::toNativeSeparators(path), error));
    }
}

void OvRunningOrder::flush()
{
    // The last save failed: tried again, the disk may have room now.
    if (m_saveFailed)
        m_save.request();
    m_save.runNow();
    m_writer->waitForDone();
}
