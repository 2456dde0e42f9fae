#pragma once

class QTcpSocket;

// Socket options Qt does not offer. Where the platform lacks them the calls do
// what Qt can and nothing more.
namespace OvTcpOptions {

// Keepalive probes while nothing is outstanding, and a bound on how long sent
// data may stay unacknowledged, so that a peer gone silent is found within
// about `timeoutMs` even while a heartbeat keeps data outstanding.
void detectDeadPeer(QTcpSocket* socket, int timeoutMs);

}  // namespace OvTcpOptions
