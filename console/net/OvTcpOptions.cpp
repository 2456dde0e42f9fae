#include "net/OvTcpOptions.h"

#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace OvTcpOptions {

void detectDeadPeer(QTcpSocket* socket, int timeoutMs)
{
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return;
    const int idleS = 3;
    const int intervalS = 1;
    const int probes = timeoutMs / 1000 - idleS;
    const unsigned int userTimeout = unsigned(timeoutMs);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPIDLE, &idleS, sizeof idleS);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPINTVL, &intervalS, sizeof intervalS);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
#else
    Q_UNUSED(timeoutMs)
#endif
}

}  // namespace OvTcpOptions
