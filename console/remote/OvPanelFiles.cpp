#include "remote/OvPanelFiles.h"

#include "remote/OvHttpHead.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>

namespace {

const QString PanelFolder = QStringLiteral(":/panel");

// What a file's ending says it is; a module script is refused under nosniff
// unless its type says JavaScript.
QByteArray typeOf(const QString& name)
{
    if (name.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (name.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return {};
}

QByteArray statusLine(int status)
{
    switch (status) {
    case 200:
        return "200 OK";
    case 400:
        return "400 Bad Request";
    case 403:
        return "403 Forbidden";
    case 404:
        return "404 Not Found";
    case 405:
        return "405 Method Not Allowed";
    }
    return QByteArray::number(status);
}

}  // namespace

const QByteArray& OvPanelFiles::securityHeaders()
{
    static const QByteArray headers =
        "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; "
        "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n"
        "X-Content-Type-Options: nosniff\r\n"
        "Referrer-Policy: no-referrer\r\n"
        "Cache-Control: no-cache\r\n";
    return headers;
}

OvPanelFiles::OvPanelFiles(QObject* parent) : QObject(parent), m_sweep(new QTimer(this))
{
    m_clock.start();
    // The files are in the program: read once, by their names alone.
    const QStringList names = QDir(PanelFolder).entryList(QDir::Files);
    for (const QString& name : names) {
        QFile file(PanelFolder + QLatin1Char('/') + name);
        const QByteArray type = typeOf(name);
        if (type.isEmpty() || !file.open(QIODevice::ReadOnly))
            continue;
        const File entry{type, file.readAll()};
        m_files.insert('/' + name.toUtf8(), entry);
        if (name == QLatin1String("index.html"))
            m_files.insert("/", entry);
    }
    m_sweep->setInterval(1000);
    connect(m_sweep, &QTimer::timeout, this, &OvPanelFiles::sweep);
}

void OvPanelFiles::answer(QTcpSocket* socket, const OvHttpHead& head)
{
    const bool get = head.method() == "GET";
    if (!get && head.method() != "HEAD") {
        respond(socket, 405, {}, false, "Allow: GET, HEAD\r\n");
        return;
    }
    // The path as sent, compared whole: "..", "%2e" or a second slash name nothing.
    const auto it = m_files.constFind(head.path());
    if (it == m_files.cend()) {
        respond(socket, 404, {"text/plain; charset=utf-8", "not found\n"}, get);
        return;
    }
    respond(socket, 200, *it, get);
}

void OvPanelFiles::refuse(QTcpSocket* socket, int status)
{
    respond(socket, status, {"text/plain; charset=utf-8", statusLine(status).mid(4).toLower() + '\n'}, true);
}

void OvPanelFiles::respond(QTcpSocket* socket, int status, const File& file, bool withBody, const QByteArray& extra)
{
    // What the client sent is read (and what it sends on, while the answer
    // goes out): unread bytes at the close would reset the connection, the
    // answer with it.
    socket->setParent(this);
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    QByteArray answer = "HTTP/1.1 " + statusLine(status) + "\r\n" + securityHeaders();
    if (!file.type.isEmpty())
        answer += "Content-Type: " + file.type + "\r\n";
    answer += "Content-Length: " + QByteArray::number(file.bytes.size()) + "\r\n" + extra
              + "Connection: close\r\n\r\n";
    if (withBody)
        answer += file.bytes;
    m_answering.insert(socket, m_clock.elapsed() + AnswerTimeoutMs);
    if (!m_sweep->isActive())
        m_sweep->start();
    socket->write(answer);
    socket->disconnectFromHost();
    // Past the bound, the answer due soonest goes: the oldest.
    if (m_answering.size() > MaxAnswering) {
        auto oldest = m_answering.cbegin();
        for (auto it = m_answering.cbegin(); it != m_answering.cend(); ++it)
            if (it.value() < oldest.value())
                oldest = it;
        drop(oldest.key());
    }
}

void OvPanelFiles::sweep()
{
    const qint64 now = m_clock.elapsed();
    QList<QTcpSocket*> late;
    for (auto it = m_answering.cbegin(); it != m_answering.cend(); ++it)
        if (it.value() <= now)
            late.append(it.key());
    for (QTcpSocket* const socket : qAsConst(late))
        drop(socket);
    if (m_answering.isEmpty())
        m_sweep->stop();
}

void OvPanelFiles::drop(QTcpSocket* socket)
{
    if (!m_answering.remove(socket))
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
