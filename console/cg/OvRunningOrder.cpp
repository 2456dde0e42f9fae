#include "cg/OvRunningOrder.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>

#include <utility>

namespace {

constexpr int TickMs = 250;

bool loggedIn()
{
    return OvTransferServer::instance()->connectionState() == OvTransferServer::LoggedIn;
}

}  // namespace

OvRunningOrder* OvRunningOrder::instance()
{
    static OvRunningOrder order;
    return &order;
}

OvRunningOrder::OvRunningOrder() : QObject(nullptr), m_ticker(new QTimer(this)), m_writer(new QThreadPool(this))
{
    m_writer->setMaxThreadCount(1);
    // The last edit reaches the disk before the program ends.
    qAddPostRoutine([] { instance()->flush(); });
    m_clock.start();
    m_ticker->setInterval(TickMs);
    connect(m_ticker, &QTimer::timeout, this, &OvRunningOrder::tick);
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
    OvShortcutKey::instance().addShortcut(OvKeyMap::current().key(OvKeyMap::Go),
                                          [this] { go(OvTakeCommand::SingleKey); });
    OvTransferServer* const client = OvTransferServer::instance();
    connect(client, &OvTransferServer::signalConnect, this, [this, client](bool up) {
        // A reconnection to the same server keeps the order as it is, countdowns too.
        const QString path = storePathFor(client->host(), client->port());
        if (up && path != m_path)
            load(path);
    });
}

OvRunningOrder::~OvRunningOrder() = default;

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

bool OvRunningOrder::insert(int at, const QUuid& guid)
{
    if (guid.isNull() || m_cues.size() >= MaxCues)
        return false;
    at = qBound(0, at, m_cues.size());
    const OvSubCGItem* const item = OvCGListModel::instance()->findCg(guid);
    m_cues.insert(at, Cue{guid, 0, item ? item->name() : QString()});
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
    if (index < 0 || index >= m_cues.size())
        return;
    m_cues.removeAt(index);
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
    if (from < 0 || from >= m_cues.size() || to < 0 || to >= m_cues.size() || from == to)
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
    if (m_cues.isEmpty())
        return;
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
    if (index < 0 || index >= m_cues.size())
        return;
    m_cues[index].durationS = qBound(0, seconds, MaxDurationS);
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
    OvTakeCommand* const takes = OvTakeCommand::instance();
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
        startCountdown(item, m_cues.at(at).durationS);
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
    OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(), tr("GO未执行：%1").arg(why));
}

void OvRunningOrder::startCountdown(OvSubCGItem* item, int seconds)
{
    Countdown& countdown = m_countdowns[QUuid(item->guid())];
    countdown.endMs = m_clock.elapsed() + qint64(seconds) * 1000;
    // The GO's own confirmation is still to come unless the item was on PGM.
    countdown.awaitingConfirmation = item->status() == OvCgStatus::Sending;
    m_ticker->start();
    emit countdownChanged();
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
    for (int i = 0; i < m_cues.size(); ++i) {
        if (m_cues.at(i).guid == guid) {
            m_cues[i].name = item->name();
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
        // Ran out while away: settled once logged in and the catalogue is back.
        if (now < it->endMs || !loggedIn()) {
            ++it;
            continue;
        }
        OvSubCGItem* const item = model->findCg(it.key());
        if (!item && model->count() == 0) {
            ++it;
            continue;
        }
        it = m_countdowns.erase(it);
        if (!item || item->status() != OvCgStatus::OnPgm)
            continue;
        // Locked: the graphic stays, and the operator is told which one.
        if (OvTakeCommand::instance()->takeAutomatically(OvTakeCommand::RunningOrder, item, OvCgStatus::Idle)
            == OvTakeCommand::Locked) {
            OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(),
                                               tr("发布已锁定：“%1”到时未撤下").arg(item->name()));
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
    // Countdowns belong to the server they were started on.
    if (path != m_path && !m_countdowns.isEmpty()) {
        m_countdowns.clear();
        m_ticker->stop();
        emit countdownChanged();
    }
    m_path = path;
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
            m_cues.append(Cue{guid, duration, cue.value(QStringLiteral("name")).toString()});
        }
        const int next = root.value(QStringLiteral("next")).toInt(-2);
        ok = ok && next >= -1 && next < m_cues.size();
        if (ok) {
            m_next = next;
        } else {
            m_cues.clear();
            const QString aside = path + QStringLiteral(".bad");
            QFile::remove(aside);
            QFile::rename(path, aside);
            OvCGMessage::instance().addMessage(
                SystemMessage, OvCGMessage::systemTitle(),
                tr("串联单文件无法读取，已另存为%1；串联单从空开始").arg(QDir::toNativeSeparators(aside)));
        }
    }
    emit cuesReset();
    emit changed();
}

void OvRunningOrder::save()
{
    if (m_path.isEmpty())
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
            OvProtocol::appendJsonString(&json, cue.name.left(MaxStoredName));
            json += '}';
        }
        json += "]}";
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        const bool saved = file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit();
        QMetaObject::invokeMethod(this, [this, path, saved] { savedTo(path, saved); }, Qt::QueuedConnection);
    });
}

void OvRunningOrder::savedTo(const QString& path, bool saved)
{
    // Said once a path, again after a save there worked.
    if (saved) {
        m_unsaved.remove(path);
    } else if (!m_unsaved.contains(path)) {
        m_unsaved.insert(path);
        OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(),
                                           tr("串联单无法保存到%1").arg(QDir::toNativeSeparators(path)));
    }
}

void OvRunningOrder::flush()
{
    m_save.runNow();
    m_writer->waitForDone();
}
