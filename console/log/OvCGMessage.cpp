#include "log/OvCGMessage.h"

#include "cg/OvCgStatus.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QDateTime>
#include <QTextCodec>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>

namespace {

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

}  // namespace

OvCGMessage& OvCGMessage::instance()
{
    static OvCGMessage hub;
    return hub;
}

OvCGMessage::OvCGMessage() : QObject(nullptr)
{
    // The folder is the operator's to make: without it nothing is written,
    // yet messages are still announced.
    const QString path = QStringLiteral("%1//log//log.txt").arg(QCoreApplication::applicationDirPath());
    m_logFile.setFileName(path);
    // Never through a link in the file's place: in a folder that several
    // operators may write, one could otherwise make another's console append
    // to a file of their choice. A link there means no log, like a missing folder.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                          0666);
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
    m_logFile.close();
}

QString OvCGMessage::systemTitle()
{
    return tr("系统");
}

void OvCGMessage::addMessage(MessageType type, const QString& title, const QString& text)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    // One-pass arg: a title or text that itself holds "%1".."%3" stays as it is.
    const QString line = QStringLiteral("%1 %2:%3").arg(time, title, text);

    // The stream is flushed when it goes out of scope, after the receivers ran.
    QTextStream stream(&m_logFile);
    // Fixed UTF-8 so the Chinese texts survive whatever the process locale is.
    stream.setCodec(QTextCodec::codecForName("UTF-8"));
    if (m_logFile.isOpen())
        stream << onOneLine(line) << QStringLiteral("\r\n");
    emit notifyMessage(type, time, title, text);
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
    if (OvTransferServer::instance()->isSelfOperator(info.operatorGuid))
        title = tr("您");

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
