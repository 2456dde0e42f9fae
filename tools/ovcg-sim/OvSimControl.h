#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <functional>

class OvSimCommands;
class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

// Carries command lines to OvSimCommands and replies back: from standard input
// (replies on standard output) and, optionally, from a TCP control socket on
// the loopback address (replies on the same connection).
class OvSimControl : public QObject
{
    Q_OBJECT
public:
    // A line longer than this is refused and its channel's buffer dropped.
    static constexpr int kMaxLine = 64 * 1024;

    OvSimControl(OvSimCommands* commands, QObject* parent = nullptr);

    void readStandardInput();
    bool listen(quint16 port, QString* error);
    quint16 controlPort() const;

    static void printLine(const QString& text);

private:
    void onStdinReady();
    void onControlConnection();
    void onControlReadyRead(QTcpSocket* socket);
    // Runs every complete line of buffer; false when a line was too long.
    bool runLines(QByteArray* buffer, const std::function<void(const QString&)>& reply);

    OvSimCommands* const m_commands;
    QSocketNotifier* m_stdin = nullptr;
    QByteArray m_stdinBuffer;
    QTcpServer* m_control = nullptr;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
