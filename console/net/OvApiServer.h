#pragma once

#include "cg/OvTurnEnd.h"

#include <QCache>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

#include <functional>

class OvApiClient;
class OvSubCGItem;
class QJsonObject;
class QTimer;
class QJsonValue;
class QWebSocketServer;

// The remote API: a WebSocket server for button panels and show-control
// software, with the console's state pushed as it changes and commands taken
// through the one take path. Off unless started; local only unless told
// otherwise. Every client authenticates with the shared token first; a web
// page (a request with an Origin) is refused unless its origin is allowed.
// Runs on the GUI thread; nothing a client sends or fails to read may hold
// it: the catalogue goes out in slices as each client reads, thumbnails are
// made on worker threads, and every bound is counted and enforced.
class OvApiServer : public QObject
{
    Q_OBJECT
public:
    // Authenticated clients; as many more may be connected and not yet
    // authenticated, the oldest of those giving way to a newcomer.
    static constexpr int MaxClients = 16;
    // How often every backlog is checked against its bound.
    static constexpr int BacklogCheckMs = 100;
    static constexpr int MaxMessageBytes = 64 * 1024;
    static constexpr int MaxIdChars = 256;
    static constexpr int AuthTimeoutMs = 10000;
    // Catalogue items a slice holds, and the backlog under which a client
    // gets its next slice.
    static constexpr int SliceItems = 500;
    static constexpr qint64 SliceBacklogBytes = 256 * 1024;
    // Slices made per turn of the event loop, all clients together.
    static constexpr int SlicesPerTurn = 4;
    static constexpr int SliceCacheBytes = 16 * 1024 * 1024;
    static constexpr int MaxThumbnailSize = 256;
    static constexpr int DefaultThumbnailSize = 72;
    static constexpr int ThumbnailsInFlightPerClient = 8;
    // Close codes of our own.
    static constexpr int CloseUnauthorized = 4401;
    static constexpr int CloseTooMany = 4429;

    explicit OvApiServer(QObject* parent = nullptr);
    ~OvApiServer() override;

    void setToken(const QString& token);
    // Origins (as a browser sends them, e.g. "http://panel.local:8000") allowed in.
    void setAllowedOrigins(const QStringList& origins);
    // What next and prev do: the grid's Right and Left arrows. Without them
    // they step through the list in its order.
    void setStepHandlers(std::function<void()> next, std::function<void()> previous);

    // False, with *error, when it cannot listen.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;

    int clientCount() const { return m_clients.size(); }
    // Commands refused for the rate, and clients dropped for not reading.
    qint64 rateRefused() const { return m_rateRefused; }
    qint64 dropped() const { return m_dropped; }

private:
    void accept();
    void receive(OvApiClient* client, const QString& text);
    void authenticate(OvApiClient* client, const QJsonObject& message, const QJsonValue& id);
    void command(OvApiClient* client, const QJsonObject& message);
    void thumbnail(OvApiClient* client, const QJsonObject& message);
    void answer(OvApiClient* client, const QJsonValue& id, const char* error);
    OvSubCGItem* resolve(const QJsonValue& ref) const;
    void sendAll(const QByteArray& json);
    void remove(OvApiClient* client);
    int authenticatedCount() const;
    void note(const QString& text);

    // What is pushed.
    void sendState(OvApiClient* client);
    void restartCatalogue();
    void pumpCatalogue();
    void schedulePump();
    // The catalogue's items [offset, offset + SliceItems) as a JSON array,
    // made once for every client that reaches them.
    QByteArray itemsAt(int offset) const;
    QByteArray slice(int offset, int total) const;
    QByteArray itemMessage(const OvSubCGItem* item, int position) const;
    QByteArray cuesJson();
    QByteArray connectedJson() const;
    void flushChanges();

    QWebSocketServer* m_server = nullptr;
    QList<OvApiClient*> m_clients;
    QTimer* m_backlogCheck = nullptr;
    QString m_token;
    QStringList m_origins;
    std::function<void()> m_next;
    std::function<void()> m_previous;

    // Changes of the turn, pushed at its end: a burst costs one message an item.
    OvTurnEnd m_flush;
    QList<QPointer<OvSubCGItem>> m_changed;
    QSet<const OvSubCGItem*> m_changedSet;
    QList<QPointer<OvSubCGItem>> m_pictures;
    QSet<const OvSubCGItem*> m_picturesSet;
    bool m_catalogueChanged = false;
    bool m_currentChanged = false;
    bool m_cuesChanged = false;
    QByteArray m_cues;  // cached: the running order changes seldom, clients ask often
    bool m_cuesStale = true;
    bool m_pumpScheduled = false;
    int m_pumpFrom = 0;  // round robin over clients for slices

    // Thumbnails: made on this pool, the pool waited for at the end.
    mutable QCache<int, QByteArray> m_slices;  // emptied by any change of the catalogue
    QThreadPool m_pool;
    QCache<QString, QByteArray> m_pngs;

    qint64 m_rateRefused = 0;
    qint64 m_dropped = 0;
    qint64 m_refusedAuth = 0;
    QElapsedTimer m_noted;
};
