#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>

// A CG server that sends as fast as the console takes, on loopback, in a
// thread of its own with plain blocking calls, so that it keeps going while
// the console's event loop is busy and its own memory stays small: frames are
// made a batch at a time. It answers the console's login at once, sends the
// catalogue body given, then frames 0 to count - 1 made by the generator, and
// reads and counts the console's answers meanwhile. The connection stays open
// until the object goes.
class OvFloodServer
{
public:
    // The body of frame index; called on the server's thread.
    using Generator = std::function<QByteArray(qint64 index)>;

    OvFloodServer(const QByteArray& catalogueBody, qint64 count, Generator generator);
    ~OvFloodServer();

    OvFloodServer(const OvFloodServer&) = delete;
    OvFloodServer& operator=(const OvFloodServer&) = delete;

    // Listens on 127.0.0.1 and starts the thread; 0 on failure.
    quint16 listen();

    qint64 bytesSent() const { return m_bytesSent; }
    qint64 framesSent() const { return m_framesSent; }
    // Responses the console sent (its answers to the frames).
    qint64 answers() const { return m_answers; }
    // The console closed the connection, or a call failed.
    bool broken() const { return m_broken; }

private:
    void run();

    const QByteArray m_catalogue;
    const qint64 m_count;
    const Generator m_generator;
    int m_listener = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_bytesSent{0};
    std::atomic<qint64> m_framesSent{0};
    std::atomic<qint64> m_answers{0};
    std::atomic<bool> m_broken{false};
};
