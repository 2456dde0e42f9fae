// ovcg-sim: a stand-in CG server for consoles under development and for the
// integration tests. See --help for the options and the commands.

#include "OvSimCatalogue.h"
#include "OvSimCommands.h"
#include "OvSimControl.h"
#include "OvSimDiscovery.h"
#include "OvSimLog.h"
#include "OvSimServer.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QHostAddress>
#include <QTimer>

#include <climits>
#include <cstdio>

namespace {

int fail(const QString& text)
{
    const QByteArray bytes = ("ovcg-sim: " + text + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    return 1;
}

bool readNumber(const QCommandLineParser& parser, const QString& option, int low, int high, int* value)
{
    bool ok = false;
    *value = parser.value(option).toInt(&ok);
    return ok && *value >= low && *value <= high;
}

}  // namespace

int main(int argc, char** argv)
{
    // Cards are painted with text, which needs a GUI application; the offscreen
    // platform lets that run without any display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ovcg-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Headless CG server for OvCGVestrel consoles: logins, catalogue, heartbeat, "
                       "publish notifications, discovery answers, and faults on command.\n\n")
        + OvSimCommands::helpText()
        + QStringLiteral("\nCommands come from standard input (replies on standard output) or from "
                         "the control socket. The log goes to standard error unless --log is given."));
    parser.addHelpOption();
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("TCP port for consoles (0: any free port; default 19999)."),
                                  QStringLiteral("port"), QStringLiteral("19999"));
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Address to listen on (default 0.0.0.0)."),
                                    QStringLiteral("address"), QStringLiteral("0.0.0.0"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Login password (default 580317)."),
                                      QStringLiteral("text"), QStringLiteral("580317"));
    const QCommandLineOption items(QStringLiteral("items"), QStringLiteral("Number of generated items (default 12; at most 100000): 160x90 "
                                                                  "cards for the first 1000, no picture past them."),
                                   QStringLiteral("n"), QStringLiteral("12"));
    const QCommandLineOption images(QStringLiteral("images"),
                                    QStringLiteral("Serve the PNG files of this folder instead of generated cards."),
                                    QStringLiteral("dir"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Server name in discovery answers (default ovcg-sim)."),
                                  QStringLiteral("text"), QStringLiteral("ovcg-sim"));
    const QCommandLineOption type(QStringLiteral("type"), QStringLiteral("Server type in discovery answers (default 1)."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption account(QStringLiteral("account"),
                                     QStringLiteral("Account shown as logged in on the server in discovery answers."),
                                     QStringLiteral("name"));
    const QCommandLineOption discoveryPort(QStringLiteral("discovery-port"),
                                           QStringLiteral("UDP port for discovery announcements (0: off; default 45320)."),
                                           QStringLiteral("port"), QStringLiteral("45320"));
    const QCommandLineOption controlPort(QStringLiteral("control-port"),
                                         QStringLiteral("TCP port on 127.0.0.1 taking commands (0: any free port; "
                                                        "absent: no control socket)."),
                                         QStringLiteral("port"));
    const QCommandLineOption loginDelay(QStringLiteral("login-delay"),
                                        QStringLiteral("Answer logins after this many milliseconds (default 0)."),
                                        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption ignoreLogin(QStringLiteral("ignore-login"), QStringLiteral("Never answer logins."));
    const QCommandLineOption logFile(QStringLiteral("log"), QStringLiteral("Append the log to this file."),
                                     QStringLiteral("file"));
    const QCommandLineOption discoveryFrom(QStringLiteral("discovery-from"),
                                           QStringLiteral("Send discovery answers from this local address (to "
                                                          "list several simulators on one machine)."),
                                           QStringLiteral("address"));
    parser.addOptions({port, listen, password, items, images, name, type, account, discoveryPort, controlPort,
                       loginDelay, ignoreLogin, logFile, discoveryFrom});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected arguments: %1").arg(parser.positionalArguments().join(' ')));

    int tcpPort = 0;
    int udpPort = 0;
    int itemCount = 0;
    int delay = 0;
    int serverType = 0;
    const QHostAddress address(parser.value(listen));
    if (address.isNull())
        return fail(QStringLiteral("--listen: \"%1\" is no IP address").arg(parser.value(listen)));
    if (!readNumber(parser, port.names().last(), 0, 65535, &tcpPort))
        return fail(QStringLiteral("--port must be 0 to 65535"));
    if (!readNumber(parser, discoveryPort.names().last(), 0, 65535, &udpPort))
        return fail(QStringLiteral("--discovery-port must be 0 to 65535"));
    if (!readNumber(parser, items.names().last(), 0, 100000, &itemCount))
        return fail(QStringLiteral("--items must be 0 to 100000"));
    if (!readNumber(parser, loginDelay.names().last(), 0, 3600000, &delay))
        return fail(QStringLiteral("--login-delay must be 0 to 3600000"));
    if (!readNumber(parser, type.names().last(), INT_MIN, INT_MAX, &serverType))
        return fail(QStringLiteral("--type must be a number"));
    int controlTcpPort = -1;
    if (parser.isSet(controlPort) && !readNumber(parser, controlPort.names().last(), 0, 65535, &controlTcpPort))
        return fail(QStringLiteral("--control-port must be 0 to 65535"));
    if (parser.isSet(logFile) && !OvSimLog::openFile(parser.value(logFile)))
        return fail(QStringLiteral("cannot open the log file %1").arg(parser.value(logFile)));

    OvSimServer server;
    server.setPassword(parser.value(password));
    server.setLoginDelay(delay);
    server.setIgnoreLogin(parser.isSet(ignoreLogin));
    if (parser.isSet(images)) {
        QStringList problems;
        const int loaded = server.catalogue().loadFolder(parser.value(images), &problems);
        for (const QString& problem : qAsConst(problems))
            OvSimLog::line(QStringLiteral("images: %1").arg(problem));
        OvSimLog::line(QStringLiteral("images: %1 items from %2").arg(loaded).arg(parser.value(images)));
    } else {
        server.catalogue().generate(itemCount);
    }

    QString error;
    if (!server.listen(address, static_cast<quint16>(tcpPort), &error))
        return fail(QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(tcpPort).arg(error));

    OvSimDiscovery* discovery = nullptr;
    if (udpPort > 0) {
        discovery = new OvSimDiscovery(&server);
        discovery->setInfo({server.port(), parser.value(name), serverType, parser.value(account)});
        if (!discovery->bind(static_cast<quint16>(udpPort), &error))
            return fail(QStringLiteral("cannot bind discovery port %1: %2").arg(udpPort).arg(error));
        if (parser.isSet(discoveryFrom)) {
            const QHostAddress from(parser.value(discoveryFrom));
            if (from.isNull())
                return fail(QStringLiteral("--discovery-from: \"%1\" is no IP address").arg(parser.value(discoveryFrom)));
            if (!discovery->setReplyAddress(from, &error))
                return fail(QStringLiteral("cannot send discovery answers from %1: %2").arg(from.toString()).arg(error));
        }
    }

    OvSimCommands commands(&server, discovery);
    OvSimControl control(&commands);
    QObject::connect(&commands, &OvSimCommands::quitRequested, &app, [&app]() {
        // A moment for the closing connections to flush.
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
    });
    control.readStandardInput();
    if (controlTcpPort >= 0 && !control.listen(static_cast<quint16>(controlTcpPort), &error))
        return fail(QStringLiteral("cannot listen for control on 127.0.0.1:%1: %2").arg(controlTcpPort).arg(error));

    const QString ready = QStringLiteral("ovcg-sim listening on %1:%2; discovery %3; control %4; %5 items")
                              .arg(address.toString())
                              .arg(server.port())
                              .arg(udpPort > 0 ? QStringLiteral("udp %1").arg(udpPort) : QStringLiteral("off"))
                              .arg(controlTcpPort >= 0 ? QStringLiteral("127.0.0.1:%1").arg(control.controlPort())
                                                       : QStringLiteral("off"))
                              .arg(server.catalogue().count());
    OvSimLog::line(ready);
    OvSimControl::printLine(ready);
    const int result = app.exec();
    OvSimLog::line(QStringLiteral("ovcg-sim ends"));
    return result;
}
