#include "OvSimControl.h"

#include "OvSimCommands.h"
#include "OvSimLog.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

OvSimControl::OvSimControl(OvSimCommands* commands, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
{
}

void OvSimControl::printLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void OvSimControl::readStandardInput()
{
    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &OvSimControl::onStdinReady);
}

void OvSimControl::onStdinReady()
{
    char chunk[4096];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        // End of input (or /dev/null): the server goes on; the control
        // socket, if any, still takes commands.
        m_stdin->setEnabled(false);
        OvSimLog::line(QStringLiteral("standard input closed; commands only through the control socket"));
        if (!m_stdinBuffer.trimmed().isEmpty()) {
            m_stdinBuffer.append('\n');
            runLines(&m_stdinBuffer, &OvSimControl::printLine);
        }
        return;
    }
    m_stdinBuffer.append(chunk, static_cast<int>(got));
    if (!runLines(&m_stdinBuffer, &OvSimControl::printLine))
        printLine(QStringLiteral("error line longer than %1 bytes, dropped").arg(kMaxLine));
}

bool OvSimControl::listen(quint16 port, QString* error)
{
    m_control = new QTcpServer(this);
    connect(m_control, &QTcpServer::newConnection, this, &OvSimControl::onControlConnection);
    if (m_control->listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = m_control->errorString();
    return false;
}

quint16 OvSimControl::controlPort() const
{
    return m_control ? m_control->serverPort() : 0;
}

void OvSimControl::onControlConnection()
{
    while (QTcpSocket* socket = m_control->nextPendingConnection()) {
        socket->setParent(this);
        m_buffers.insert(socket, {});
        OvSimLog::line(QStringLiteral("control connection from port %1").arg(socket->peerPort()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { onControlReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void OvSimControl::onControlReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer.append(socket->readAll());
    const auto reply = [socket](const QString& text) { socket->write(text.toUtf8() + '\n'); };
    if (!runLines(&buffer, reply)) {
        reply(QStringLiteral("error line longer than %1 bytes, connection closed").arg(kMaxLine));
        socket->disconnectFromHost();
    }
}

bool OvSimControl::runLines(QByteArray* buffer, const std::function<void(const QString&)>& reply)
{
    for (;;) {
        const int end = buffer->indexOf('\n');
        if (end < 0)
            break;
        const QString line = QString::fromUtf8(buffer->left(end)).trimmed();
        buffer->remove(0, end + 1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        for (const QString& text : m_commands->execute(line))
            reply(text);
    }
    if (buffer->size() > kMaxLine) {
        buffer->clear();
        return false;
    }
    return true;
}
