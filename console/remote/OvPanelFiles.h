#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>

class OvHttpHead;
class QTcpSocket;
class QTimer;

// The browser panel's page on the remote API's port: the files compiled into
// the program, by a fixed list of paths (no file system, no decoding of
// paths), over plain HTTP, GET and HEAD only, one request a connection.
// Every answer, refusals too, carries the page's security headers. Answers
// being written are bounded in number and time, so that clients which do not
// read them hold nothing for long. Who may have the page is decided before
// (OvApiAccess).
class OvPanelFiles : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxAnswering = 64;
    static constexpr int AnswerTimeoutMs = 10000;

    // The security headers of every answer: no script but the page's own
    // files, no frame around it, the types as sent, no referrer, always
    // checked again.
    static const QByteArray& securityHeaders();

    explicit OvPanelFiles(QObject* parent = nullptr);

    // A request that is no WebSocket upgrade, its head (valid) still unread
    // in the socket; the socket is ours from here on.
    void answer(QTcpSocket* socket, const OvHttpHead& head);
    // Refuses with status (400, 403) and closes; the socket is ours from here on.
    void refuse(QTcpSocket* socket, int status);

    int answering() const { return m_answering.size(); }

private:
    struct File
    {
        QByteArray type;
        QByteArray bytes;
    };
    void respond(QTcpSocket* socket, int status, const File& file, bool withBody, const QByteArray& extra = {});
    void sweep();
    void drop(QTcpSocket* socket);

    QHash<QByteArray, File> m_files;
    // Sockets being answered, with when each must be done.
    QHash<QTcpSocket*, qint64> m_answering;
    QTimer* m_sweep;
    QElapsedTimer m_clock;
};
