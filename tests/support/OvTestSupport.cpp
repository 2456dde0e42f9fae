#include "OvTestSupport.h"

#include "cg/cgItemData.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace OvTest {

void closeModalWhenShown(int timeoutMs, int intervalMs, std::function<void(QWidget*)> inspect)
{
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal) {
            if (inspect)
                inspect(modal);
            if (modal && modal->isVisible())
                modal->close();
        }
        if (modal || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(intervalMs);
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

QString freshDir(const QString& name)
{
    QDir dir(QDir::tempPath() + QLatin1Char('/') + name);
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString copyProgram(const QString& dest, bool withQss)
{
    QDir(dest).removeRecursively();
    QDir().mkpath(dest + QStringLiteral("/log"));
    const QDir run(QStringLiteral(OV_RUN_DIR));
    QStringList files{QStringLiteral("OvCGVestrel")};
    files += run.entryList({QStringLiteral("libOvUIUtility.so*")}, QDir::Files);
    for (const QString& f : files)
        QFile::copy(run.filePath(f), dest + QLatin1Char('/') + f);
    if (withQss) {
        QDir().mkpath(dest + QStringLiteral("/qss"));
        for (const QString& f : QDir(run.filePath(QStringLiteral("qss"))).entryList(QDir::Files))
            QFile::copy(run.filePath(QStringLiteral("qss/") + f), dest + QStringLiteral("/qss/") + f);
    }
    return dest + QStringLiteral("/OvCGVestrel");
}

bool waitForTcpListener(quint16 port, int timeoutMs)
{
    return waitFor(
        [port]() {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(100);
        },
        timeoutMs);
}

cgItemData cgRecord(const QString& name, int status)
{
    cgItemData data;
    data.guid = QUuid::createUuid();
    data.name = name;
    data.status = status;
    return data;
}

}  // namespace OvTest
