#include "OvTestSupport.h"

#include "cg/OvTakeCommand.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <OvUIUtility/OnlyOneApplication.h>

#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
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

ErrorRecorder::ErrorRecorder()
    : m_previous(OvErrorPresenter::install([this](const QString& text) { texts.append(text); }))
{
}

ErrorRecorder::~ErrorRecorder()
{
    OvErrorPresenter::install(std::move(m_previous));
}

LogRecorder::LogRecorder()
{
    connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this,
            [this](MessageType, const QString&, const QString& title, const QString& text) {
                lines.append(title + QLatin1Char(':') + text);
            });
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

QString startXvfb(QProcess& xvfb, QString* error)
{
    QString display;
    for (int attempt = 0; attempt < 50 && display.isEmpty(); ++attempt) {
        const int n = 90 + QRandomGenerator::global()->bounded(400);
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            && !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            display = QStringLiteral(":%1").arg(n);
    }
    if (display.isEmpty()) {
        *error = QStringLiteral("no free display number");
        return {};
    }
    xvfb.setProcessChannelMode(QProcess::MergedChannels);
    xvfb.start(QStringLiteral("Xvfb"), {display, "-screen", "0", "1600x1000x24", "-noreset"});
    if (!xvfb.waitForStarted(5000)) {
        *error = QStringLiteral("Xvfb did not start");
        return {};
    }
    const QString socketPath = QStringLiteral("/tmp/.X11-unix/X") + display.mid(1);
    if (!QTest::qWaitFor([&] { return QFile::exists(socketPath) || xvfb.state() == QProcess::NotRunning; }, 10000)
        || xvfb.state() != QProcess::Running) {
        *error = QString::fromLocal8Bit(xvfb.readAll());
        return {};
    }
    return display;
}

QProcessEnvironment x11Environment(const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The console draws no OpenGL; without the GLX integration LeakSanitizer does
    // not trip over what Mesa's unloaded driver leaves behind at exit.
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    return env;
}

RunResult runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                     int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(5000))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return r;
}

void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

void closeConsole(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    QLocalSocket socket;
    socket.connectToServer(OnlyOneApplication::socketPath(QStringLiteral("OvCG_Vestrel")));
    if (socket.waitForConnected(2000)) {
        socket.write("close");
        socket.waitForBytesWritten(2000);
    }
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 10000))
        process.kill();
    process.waitForFinished(5000);
}

OtherHost::~OtherHost()
{
    if (!m_holder)
        return;
    m_holder->kill();
    m_holder->waitForFinished(3000);
    run(QStringLiteral("ip"), {"link", "del", "vc0"});
}

QString OtherHost::start()
{
    // Links are made and cut only inside the suite's private namespace.
    if (qgetenv("OV_IN_NETNS") != "1")
        return QStringLiteral("runs only inside scripts/netns-run");
    for (const char* tool : {"unshare", "nsenter", "ip"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("unshare, nsenter and ip are needed");
    }
    m_holder = std::make_unique<QProcess>();
    m_holder->start(QStringLiteral("unshare"), {"-n", "sleep", "600"});
    if (!m_holder->waitForStarted(5000))
        return QStringLiteral("unshare did not start");
    const QString pid = QString::number(m_holder->processId());
    const QString ownNs = QFile::symLinkTarget(QStringLiteral("/proc/self/ns/net"));
    const auto hostNs = [&] { return QFile::symLinkTarget("/proc/" + pid + "/ns/net"); };
    if (!QTest::qWaitFor([&] { return !hostNs().isEmpty() && hostNs() != ownNs; }, 5000))
        return QStringLiteral("the namespace did not come up");
    const bool up = run("ip", {"link", "add", "vc0", "type", "veth", "peer", "name", "vc1"})
                    && run("ip", {"link", "set", "vc1", "netns", pid})
                    && run("ip", {"addr", "add", "10.88.0.1/24", "dev", "vc0"})
                    && run("ip", {"link", "set", "vc0", "up"})
                    && run("nsenter", enter() + QStringList{"ip", "addr", "add", "10.88.0.2/24", "dev", "vc1"})
                    && run("nsenter", enter() + QStringList{"ip", "link", "set", "vc1", "up"});
    return up ? QString() : QStringLiteral("the link could not be made");
}

QStringList OtherHost::enter() const
{
    return {"-t", QString::number(m_holder->processId()), "-n"};
}

bool OtherHost::run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

cgItemData cgRecord(const QString& name, int status)
{
    cgItemData data;
    data.guid = QUuid::createUuid();
    data.name = name;
    data.status = status;
    return data;
}

int take(OvTakeCommand* takes, int targetStatus)
{
    return takes->take(OvTakeCommand::ControlBar, targetStatus);
}

}  // namespace OvTest
