#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QWebSocket;

// One connection of the remote API: its socket, whether it has authenticated,
// its command budget and how much of the catalogue and the running order it
// has been sent. The
// server decides; the client keeps the bookkeeping and the bounds on writing.
class OvApiClient : public QObject
{
    Q_OBJECT
public:
    // A client that does not read is dropped once this much waits for it.
    static constexpr qint64 MaxBacklogBytes = 4 * 1024 * 1024;
    static constexpr int CommandsPerSecond = 100;
    static constexpr int BytesPerSecond = 256 * 1024;
    static constexpr qint64 ReadBufferBytes = 80 * 1024;
    // A client refused this many commands within a second is closed.
    static constexpr int RefusedBeforeClose = 10 * CommandsPerSecond;

    // Takes the socket over.
    OvApiClient(QWebSocket* socket, QObject* parent);
    ~OvApiClient() override;

    QWebSocket* socket() const { return m_socket; }
    QString peer() const;

    bool isAuthenticated() const { return m_authenticated; }
    void setAuthenticated() { m_authenticated = true; }

    // False when the message would take the backlog past its bound: the
    // client is then aborted (and disconnected() follows).
    bool send(const QByteArray& json);
    qint64 backlog() const;
    // Drops the client when its backlog is past the bound, whoever wrote it:
    // Qt answers a ping by itself, so a client that pings and never reads
    // grows the backlog without send(). True when it was dropped.
    bool enforceBacklog();
    // Closes with the code; a client that does not read the close (its
    // backlog never drains) is aborted after a grace period instead of
    // holding its place and its backlog for ever.
    void close(int code, const QString& reason);
    static constexpr int CloseGraceMs = 2000;
    bool isDropped() const { return m_dropped; }
    bool isClosing() const { return m_closing; }

    // One message of bytes against the budget; false when the rate is spent.
    bool admitCommand(int bytes);
    // Refused commands in the present second.
    int refusedThisSecond() const { return m_refused; }

    // The catalogue as sent to this client: items [0, sent) it has, out of
    // the total being streamed. sent == total when it is whole.
    int sent = 0;
    int total = 0;
    bool streaming() const { return sent < total; }
    // The same for the running order.
    int cuesSent = 0;
    int cueTotal = 0;
    bool streamingCues() const { return cuesSent < cueTotal; }
    // Its address as the limits per address count it.
    QString key;
    // Let in with the view token: it watches, every command is read only.
    bool viewOnly = false;
    // The name it gave itself when it authenticated (may be empty).
    QString seat;
    // Thumbnails being made for it.
    int thumbnailsInFlight = 0;

signals:
    void textReceived(OvApiClient* client, const QString& text);
    void gone(OvApiClient* client);
    // Its backlog went down: the catalogue stream may go on.
    void drained(OvApiClient* client);

private:
    QWebSocket* m_socket;
    bool m_authenticated = false;
    bool m_dropped = false;
    bool m_closing = false;
    QElapsedTimer m_window;
    int m_commands = 0;
    int m_bytes = 0;
    int m_refused = 0;
};
