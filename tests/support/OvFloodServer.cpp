#include "OvFloodServer.h"

#include "net/OvProtocol.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QByteArray frame(const QByteArray& body)
{
    return OvProtocol::frameHeader(quint32(body.size())) + body;
}

constexpr int BatchBytes = 256 * 1024;

}  // namespace

OvFloodServer::OvFloodServer(const QByteArray& catalogueBody, qint64 count, Generator generator)
    : m_catalogue(catalogueBody), m_count(count), m_generator(std::move(generator))
{
}

OvFloodServer::~OvFloodServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

quint16 OvFloodServer::listen()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 1) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    m_thread = std::thread([this] { run(); });
    return ntohs(address.sin_port);
}

void OvFloodServer::run()
{
    pollfd waiting{m_listener, POLLIN, 0};
    while (!m_stop && ::poll(&waiting, 1, 100) == 0) {
    }
    const int fd = m_stop ? -1 : ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        m_broken = true;
        return;
    }
    QByteArray out = frame(R"({"cmd":"login","cmdType":"response","code":0,"value":{"token":"flood"}})")
                     + frame(m_catalogue);
    int outAt = 0;
    qint64 next = 0;
    QByteArray in;
    char chunk[64 * 1024];
    while (!m_stop) {
        if (outAt == out.size() && next < m_count) {
            out.clear();
            outAt = 0;
            while (out.size() < BatchBytes && next < m_count)
                out += frame(m_generator(next++));
        }
        pollfd p{fd, short(POLLIN | (outAt < out.size() ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 100) < 0 && errno != EINTR)
            break;
        if (p.revents & POLLOUT) {
            const ssize_t n = ::send(fd, out.constData() + outAt, size_t(out.size() - outAt), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (n > 0) {
                outAt += int(n);
                m_bytesSent += n;
                if (outAt == out.size())
                    m_framesSent = next;
            }
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            // Everything the console has sent: its answers must not back up.
            ssize_t n = 0;
            while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
                in.append(chunk, int(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
            int at = 0;
            while (in.size() - at >= 8) {
                const quint32 length = qFromBigEndian<quint32>(in.constData() + at);
                if (quint32(in.size() - at - 8) < length)
                    break;
                const QByteArray body = QByteArray::fromRawData(in.constData() + at + 8, int(length));
                if (body.contains("\"response\""))
                    ++m_answers;
                at += 8 + int(length);
            }
            in.remove(0, at);
        }
    }
    m_broken = !m_stop;
    ::close(fd);
}
