#include "log/OvCGMessage.h"

#include "cg/OvCgStatus.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QDateTime>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kLogName[] = "log.txt";

bool isOwnBookkeeping(const operatorInfo& info)
{
    return info.operatorName == instanceGuid();
}

// Item and operator names come from the server; a line break in one must not
// split a message over several lines of the log file, nor forge a line there.
QString onOneLine(QString line)
{
    for (QChar& c : line) {
        switch (c.unicode()) {
        case u'\n':
        case u'\r':
        case u'\v':
        case u'\f':
        case 0x0085:  // next line
        case 0x2028:  // line separator
        case 0x2029:  // paragraph separator
            c = QLatin1Char(' ');
            break;
        default:
            break;
        }
    }
    return line;
}

// In a folder its group may write, operators share one log: a file this
// console made there is made writable for that group too, whatever the umask,
// or only its maker could ever append. Never for a group other than the
// folder's.
bool shareWithFolderGroup(int dir, int fd, const struct stat& file)
{
    struct stat folder {};
    if (::fstat(dir, &folder) != 0 || !(folder.st_mode & S_IWGRP))
        return false;
    if (file.st_gid != folder.st_gid && ::fchown(fd, uid_t(-1), folder.st_gid) != 0)
        return false;
    return ::fchmod(fd, (file.st_mode & 07777) | S_IRGRP | S_IWGRP) == 0;
}

// The log file in folder, opened for appending, or -1. The folder is the
// operator's to make: without it nothing is written, and nothing is said.
// Several operators may write the folder, so whatever one of them puts in the
// file's place is never written through nor waited for: a link could make
// another's console append to a file of their choice, a FIFO would hold
// start-up until someone opened its other end. Such a thing means no log, said
// once.
int openLogFile(const QString& folder)
{
    const int dir = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return -1;
    const int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    // Created here, or there before: only a file of its own is shared.
    bool created = true;
    int fd = ::openat(dir, kLogName, flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::openat(dir, kLogName, flags);
    }
    struct stat st {};
    const bool found = fd >= 0 ? ::fstat(fd, &st) == 0 : ::fstatat(dir, kLogName, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (found && !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "OvCGVestrel: %s/%s is not a plain file; no log is written\n",
                     QFile::encodeName(folder).constData(), kLogName);
        std::fflush(stderr);
    }
    if (fd >= 0 && !(found && S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd >= 0) {
        // Only the open could wait; appending to a plain file goes as before.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (created)
            shareWithFolderGroup(dir, fd, st);
    }
    ::close(dir);
    return fd;
}

}  // namespace

OvCGMessage& OvCGMessage::instance()
{
    static OvCGMessage hub;
    return hub;
}

OvCGMessage::OvCGMessage() : QObject(nullptr)
{
    const int fd = openLogFile(QCoreApplication::applicationDirPath() + QStringLiteral("/log"));
    if (fd >= 0 && !m_logFile.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle))
        ::close(fd);
    if (m_logFile.isOpen())
        m_logFile.seek(m_logFile.size());

    const OvCGListModel* model = OvCGListModel::instance();
    connect(model, &OvCGListModel::SingalCGInserted, this, &OvCGMessage::slotCGInsert);
    connect(model, &OvCGListModel::SingalCGRemoved, this, &OvCGMessage::slotCGRemove);
    connect(model, &OvCGListModel::SingalCGUpdate, this, &OvCGMessage::slotCGUpdate);
    connect(model, &OvCGListModel::SignalCgMoved, this, &OvCGMessage::SlotCgMoved);
}

OvCGMessage::~OvCGMessage()
{
    flushLog();
    m_logFile.close();
}

QString OvCGMessage::systemTitle()
{
    return tr("系统");
}

void OvCGMessage::systemLine(const QString& text)
{
    instance().addMessage(SystemMessage, systemTitle(), text);
}

void OvCGMessage::addMessage(MessageType type, const QString& title, const QString& text)
{
    // The text is the same for a whole minute; made once a minute.
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 minute = now.toSecsSinceEpoch() / 60;
    if (minute != m_minute) {
        m_minute = minute;
        m_minuteText = now.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    }
    const QString time = m_minuteText;
    emit notifyMessage(type, time, title, text);
    // After the receivers, as the stream this replaces did: a message posted
    // from a receiver lands first.
    if (!m_logFile.isOpen())
        return;
    // One-pass arg: a title or text that itself holds "%1".."%3" stays as it is.
    // Fixed UTF-8 so the Chinese texts survive whatever the process locale is.
    m_pendingLines += onOneLine(QStringLiteral("%1 %2:%3").arg(time, title, text)).toUtf8();
    m_pendingLines += "\r\n";
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &OvCGMessage::flushLog, Qt::QueuedConnection);
    }
}

void OvCGMessage::flushLog()
{
    m_flushQueued = false;
    if (m_pendingLines.isEmpty())
        return;
    m_logFile.write(m_pendingLines);
    m_logFile.flush();
    m_pendingLines.clear();
}

void OvCGMessage::slotCGInsert(int, OvSubCGItem* newCG, operatorInfo info)
{
    if (!newCG || isOwnBookkeeping(info))
        return;
    addMessage(OperationMessage, info.operatorName, tr("新增了\"%1\"").arg(newCG->name()));
}

void OvCGMessage::slotCGRemove(int, OvSubCGItem* newCG, operatorInfo info)
{
    if (!newCG || isOwnBookkeeping(info))
        return;
    addMessage(OperationMessage, info.operatorName, tr("删除了\"%1\"").arg(newCG->name()));
}

void OvCGMessage::slotCGUpdate(int, int updateType, OvSubCGItem* theCG, operatorInfo info)
{
    if (!theCG || isOwnBookkeeping(info))
        return;

    QString title = info.operatorName;
    // A remote seat's take in its name, the operator's own as "you".
    if (OvTransferServer::instance()->isSelfOperator(info.operatorGuid))
        title = info.taker.isEmpty() ? tr("您") : info.taker;

    QString text;
    switch (updateType) {
    case OvSubCGItem::StatusUpdate:
        text = OvCgStatus::changeText(theCG->status(), theCG->name());
        break;
    case OvSubCGItem::NameUpdate:
        text = tr("重命名\"%1\"为\"%2\"").arg(theCG->oldName(), theCG->name());
        break;
    case OvSubCGItem::ImageUpdate:
        text = tr("编辑了\"%1\"").arg(theCG->name());
        break;
    default:
        break;
    }
    addMessage(OperationMessage, title, text);
}

void OvCGMessage::SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info)
{
    if (!theCG || isOwnBookkeeping(info))
        return;
    addMessage(OperationMessage, info.operatorName,
               tr("调整了\"%1\"的位置 从\"%2\"至\"%3\"").arg(theCG->name(), QString::number(from),
                                                                    QString::number(to)));
}
