#pragma once

#include "remote/OvAddressBackoff.h"
#include "remote/OvApiAccess.h"
#include "remote/OvCommandTable.h"
#include "remote/OvStateFeed.h"
#include "remote/OvWaitingLimit.h"

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

class OvApiClient;
class OvApiListener;
class OvCountedNotice;
class OvHttpHead;
class OvPanelFiles;
class OvSubCGItem;
class QJsonObject;
class QTcpSocket;
class QTimer;
class QJsonValue;
class QWebSocketServer;

// The remote API: a WebSocket server for button panels and show-control
// software, with the state feed's changes pushed as they happen and the
// command table's commands taken in. The catalogue's structural changes go
// out as they happened (inserted, removed, moved), to each client as far as
// the part of the list it has received. Off unless started; local only unless told
// otherwise. Every client authenticates with a token first: the control
// token's seats command, the view token's only watch. The same port serves
// the browser panel's page; who may have it, and which web pages may connect,
// OvApiAccess decides.
// Runs on the GUI thread; nothing a client sends or fails to read may hold
// it: connections are accepted and their handshakes read within bounds, the
// catalogue and the running order go out in slices as each client reads,
// thumbnails are made on worker threads, and every bound is counted and
// enforced. Nothing the console writes is larger than a client may take.
class OvApiServer : public QObject
{
    Q_OBJECT
public:
    // Authenticated clients.
    static constexpr int MaxClients = 16;
    // Connections not yet authenticated, in all and from one address: past
    // either, a newcomer pushes out the oldest (see OvWaitingLimit). One
    // machine may start all its panels at once.
    static constexpr int MaxWaiting = 2 * MaxClients;
    static constexpr int MaxWaitingPerAddress = MaxClients;
    // How often every backlog is checked against its bound.
    static constexpr int BacklogCheckMs = 100;
    static constexpr int MaxMessageBytes = 64 * 1024;
    static constexpr int MaxIdChars = 256;
    static constexpr int DefaultAuthTimeoutMs = 10000;
    // A slice of the catalogue or the running order holds at most this many
    // entries and this many bytes of them (at least one entry); the backlog
    // under which a client gets its next slice.
    static constexpr int SliceItems = 500;
    static constexpr int SliceBytes = 256 * 1024;
    static constexpr qint64 SliceBacklogBytes = 256 * 1024;
    // Names are cut to this many UTF-16 units in what the console sends (a
    // character is never split), as the running order keeps them.
    static constexpr int MaxNameChars = 256;
    // Slices made per turn of the event loop, all clients together.
    static constexpr int SlicesPerTurn = 4;
    static constexpr int SliceCacheBytes = 16 * 1024 * 1024;
    static constexpr int MaxThumbnailSize = 256;
    static constexpr int DefaultThumbnailSize = 72;
    static constexpr int ThumbnailsInFlightPerClient = 8;
    // A token shorter than this is refused: the API stays off.
    static constexpr int MinTokenChars = 16;
    // Close codes. Only a wrong token ends a client's retries.
    static constexpr int CloseUnauthorized = 4401;
    static constexpr int CloseTooMany = 4429;
    static constexpr int CloseTryAgain = 1013;
    static constexpr int CloseProtocolError = 1008;

    // The protocol's version, in the state a client gets first.
    static constexpr int ProtocolVersion = 2;
    // A seat's name, in characters (UTF-16 units, never within a character).
    static constexpr int MaxSeatChars = 64;

    OvApiServer(OvCommandTable* commands, OvStateFeed* feed, QObject* parent = nullptr);
    ~OvApiServer() override;

    // The value the packaged config.ini shows as an example: refused.
    static QString exampleToken();
    // Why the token cannot be used, in words for a system line; empty when it can.
    static QString tokenRefusal(const QString& token);
    // The same for the view token beside the control token.
    static QString viewTokenRefusal(const QString& viewToken, const QString& token);
    // A seat's name as a client gave it: a text, control and format
    // characters dropped, cut to its bound; empty for anything else.
    static QString seatName(const QJsonValue& seat);

    void setToken(const QString& token);
    // Empty: no view-only seats. One setToken() refuses is not to be set.
    void setViewToken(const QString& token);
    // Origins (as a browser sends them, e.g. "http://panel.local:8000") allowed in.
    void setAllowedOrigins(const QStringList& origins);
    // Names the console answers to beyond its own (see OvApiAccess).
    void setAllowedHosts(const QStringList& hosts);
    // The language a client's texts should follow: "en", or empty (Chinese).
    void setLanguage(const QString& language);
    void setAuthTimeoutMs(int ms);
    // The first wait of an address after its wrong tokens (see OvAddressBackoff).
    void setWrongTokenWaitMs(qint64 ms);
    void setHandshakeTimeoutMs(int ms);

    // False, with *error, when it cannot listen or the token is refused.
    // Listening is said in a system line, and listening beyond this machine
    // in a second one.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;

    int clientCount() const { return m_clients.size(); }
    // Commands refused for the rate, and clients dropped for not reading.
    qint64 rateRefused() const { return m_rateRefused; }
    qint64 dropped() const { return m_dropped; }
    // Connections closed before they were let in: pushed out for a newcomer,
    // too slow with their handshake or their token, or a handshake too large.
    qint64 closedEarly() const;
    // Requests refused for their Host or Origin (pages and handshakes).
    qint64 refusedRequests() const { return m_refusedRequests; }

private:
    void upgrade(QTcpSocket* socket, const OvHttpHead& head);
    void plainRequest(QTcpSocket* socket, const OvHttpHead& head);
    void refuseRequest(QTcpSocket* socket, const OvHttpHead& head);
    void accept();
    void receive(OvApiClient* client, const QString& text);
    void authenticate(OvApiClient* client, const QJsonObject& message, const QJsonValue& id);
    void command(OvApiClient* client, const QJsonObject& message);
    void thumbnail(OvApiClient* client, const QJsonObject& message);
    void answer(OvApiClient* client, const QJsonValue& id, const char* error);
    static OvCommandTable::ItemRef itemRef(const QJsonValue& value);
    void sendAll(const QByteArray& json);
    QByteArray seatsJson() const;
    void tellSeats(const OvApiClient* except);
    void remove(OvApiClient* client);
    int authenticatedCount() const;
    void note(const QString& text);

    // One slice: entries [offset, offset + count) as a JSON array.
    struct Slice
    {
        QByteArray json;
        int count = 0;
    };
    // What is pushed.
    void sendState(OvApiClient* client);
    void restartCatalogue();
    void restartCues();
    void pump();
    void schedulePump();
    // Made once for every client that reaches them.
    Slice itemsAt(int offset) const;
    Slice cuesAt(int offset) const;
    QByteArray itemsMessage(int offset, int total, int* count) const;
    QByteArray cuesMessage(int offset, int total, int* count) const;
    void appendItem(QByteArray* json, const OvSubCGItem* item, int position) const;
    void appendCue(QByteArray* json, int row) const;
    QByteArray nextJson() const;
    QByteArray connectedJson() const;
    void tell(const OvStateFeed::Changes& changes);
    // The turn's structural changes to each client, as far as its part of
    // the list; false when they were worth more than the list sent again.
    bool tellStructure(const OvStateFeed::Changes& changes);
    void tellItems(const OvStateFeed::Changes& changes);
    void tellCues(const OvStateFeed::Changes& changes);

    OvCommandTable* m_commands;
    OvStateFeed* m_feed;
    QString m_language;
    OvApiListener* m_listener = nullptr;
    QWebSocketServer* m_server = nullptr;
    QList<OvApiClient*> m_clients;
    QTimer* m_backlogCheck = nullptr;
    QString m_token;
    QString m_viewToken;
    OvApiAccess m_access;
    OvPanelFiles* m_files = nullptr;
    int m_authTimeoutMs = DefaultAuthTimeoutMs;
    OvWaitingLimit m_unauthenticated{MaxWaiting, MaxWaitingPerAddress};
    OvAddressBackoff m_backoff;
    QElapsedTimer m_clock;
    OvCountedNotice* m_closedEarly = nullptr;

    bool m_pumpScheduled = false;
    int m_pumpFrom = 0;  // round robin over clients for slices

    // Slices, emptied by any change of what they hold.
    mutable QCache<int, Slice> m_slices;
    mutable QCache<int, Slice> m_cueSlices;
    // Thumbnails: made on this pool, the pool waited for at the end.
    QThreadPool m_pool;
    QCache<QString, QByteArray> m_pngs;

    qint64 m_rateRefused = 0;
    qint64 m_dropped = 0;
    qint64 m_refusedRequests = 0;
    QElapsedTimer m_noted;
    QElapsedTimer m_refusalNoted;
};
