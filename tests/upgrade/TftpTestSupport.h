#pragma once

#include "TftpPacket.h"
#include "TftpSocket.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

// Bytes that differ from file to file and from block to block.
QByteArray pattern(qint64 size, quint32 seed);

// lumidesk-tftpd serving a temporary folder on 127.0.0.1 and a free port.
class ServerProcess
{
public:
    ServerProcess();
    ~ServerProcess();

    bool start();
    // SIGTERM; true when the server ended by itself with status 0.
    bool stop();

    QString root() const { return m_dir.path(); }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QString output(); // standard output so far
    QByteArray writeFile(const QString &name, qint64 size, quint32 seed);

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_logDir; // a file, not a pipe that fills while the test waits on a client
    QProcess m_process;
    quint16 m_port = 0;
};

// One TFTP datagram taken apart.
struct Packet
{
    int opcode = -1;
    int number = -1;    // block (DATA, ACK) or error code (ERROR)
    QByteArray payload; // data bytes, or the error message without its NUL
};
Packet decode(const QByteArray &datagram);

// A client that the test scripts datagram by datagram, on a socket of its own.
class ScriptedClient
{
public:
    ScriptedClient();
    void send(quint16 port, const std::vector<uint8_t> &datagram); // to 127.0.0.1
    void send(const tftp::Endpoint &to, const std::vector<uint8_t> &datagram);
    // The next datagram within timeoutMs; false when none came.
    bool receive(Packet &packet, tftp::Endpoint &from, int timeoutMs = 3000);
    bool receive(Packet &packet, int timeoutMs = 3000);

private:
    tftp::UdpSocket m_socket;
};

tftp::Endpoint loopback(quint16 port);
