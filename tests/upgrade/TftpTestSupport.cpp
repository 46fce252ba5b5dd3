#include "TftpTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <random>

QByteArray pattern(qint64 size, quint32 seed)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    std::mt19937 random(seed);
    for (qint64 i = 0; i < size; i += 4) {
        const quint32 word = random();
        for (qint64 j = 0; j < 4 && i + j < size; ++j)
            bytes[int(i + j)] = char(word >> (8 * j));
    }
    return bytes;
}

ServerProcess::ServerProcess()
{
    m_process.setProgram(QStringLiteral(LUMIDESK_TFTPD));
    m_process.setArguments({"--root", m_dir.path(), "--address", "127.0.0.1", "--port", "0"});
    m_process.setStandardOutputFile(m_logDir.filePath("stdout.txt"));
}

ServerProcess::~ServerProcess()
{
    if (running()) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool ServerProcess::start()
{
    m_process.start();
    if (!m_process.waitForStarted())
        return false;
    const QRegularExpression serving(QStringLiteral("on UDP port (\\d+)"));
    QByteArray err;
    for (int i = 0; i < 50 && m_process.state() == QProcess::Running; ++i) {
        m_process.waitForReadyRead(100);
        err += m_process.readAllStandardError();
        const auto match = serving.match(QString::fromLocal8Bit(err));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return true;
        }
    }
    qWarning() << "lumidesk-tftpd did not start:" << err;
    return false;
}

bool ServerProcess::stop()
{
    ::kill(pid_t(pid()), SIGTERM);
    const bool ended = m_process.waitForFinished(10000);
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString ServerProcess::output()
{
    QFile file(m_logDir.filePath("stdout.txt"));
    file.open(QIODevice::ReadOnly);
    return QString::fromLocal8Bit(file.readAll());
}

QByteArray ServerProcess::writeFile(const QString &name, qint64 size, quint32 seed)
{
    const QByteArray bytes = pattern(size, seed);
    QFile file(m_dir.filePath(name));
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return bytes;
}

Packet decode(const QByteArray &datagram)
{
    Packet packet;
    const auto byte = [&](int i) { return int(uchar(datagram[i])); };
    if (datagram.size() >= 2)
        packet.opcode = byte(0) << 8 | byte(1);
    if (datagram.size() >= 4)
        packet.number = byte(2) << 8 | byte(3);
    packet.payload = datagram.mid(4);
    if (packet.opcode == tftp::OpError && packet.payload.endsWith('\0'))
        packet.payload.chop(1);
    return packet;
}

tftp::Endpoint loopback(quint16 port)
{
    return tftp::Endpoint{0x7f000001, port};
}

ScriptedClient::ScriptedClient()
    : m_socket(tftp::UdpSocket::create())
{
    m_socket.bind(loopback(0));
}

void ScriptedClient::send(quint16 port, const std::vector<uint8_t> &datagram)
{
    send(loopback(port), datagram);
}

void ScriptedClient::send(const tftp::Endpoint &to, const std::vector<uint8_t> &datagram)
{
    m_socket.sendTo(to, datagram.data(), datagram.size());
}

bool ScriptedClient::receive(Packet &packet, tftp::Endpoint &from, int timeoutMs)
{
    if (m_socket.waitReadable(timeoutMs) != tftp::UdpSocket::Wait::Readable)
        return false;
    uint8_t buffer[2048];
    const ssize_t n = m_socket.receiveFrom(buffer, sizeof buffer, from);
    if (n < 0)
        return false;
    packet = decode(QByteArray(reinterpret_cast<const char *>(buffer), int(n)));
    return true;
}

bool ScriptedClient::receive(Packet &packet, int timeoutMs)
{
    tftp::Endpoint from;
    return receive(packet, from, timeoutMs);
}
