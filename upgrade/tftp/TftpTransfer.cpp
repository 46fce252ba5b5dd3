#include "upgrade/tftp/TftpTransfer.h"

#include "upgrade/tftp/TftpLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tftp {

namespace {

// Progress while blocks are still to come; 100 is kept for the acknowledged end. Whole
// numbers: single precision would round a large image up a block early.
int percentOf(uint64_t sent, uint64_t size)
{
    return size == 0 ? 0 : int(std::min<uint64_t>(99, sent * 100 / size));
}

} // namespace

Transfer::Transfer(const Endpoint &peer, ByteSource &file, TransferOutput &out, TransferTiming timing)
    : m_peer(peer)
    , m_file(file)
    , m_out(out)
    , m_timing(timing)
{}

void Transfer::start(Clock::time_point now)
{
    if (m_state == State::Idle)
        sendNewBlock(now);
}

void Transfer::sendNewBlock(Clock::time_point now)
{
    // Never more than the size the file was opened with: a file that changes while it is
    // sent must not go out as a complete one.
    const uint64_t size = m_file.size();
    const size_t wanted = size_t(std::min<uint64_t>(blockSize, size - m_bytesSent));
    uint8_t *payload = m_packet.data() + dataHeaderSize;
    size_t length = 0;
    while (length < wanted) {
        const long n = m_file.read(payload + length, wanted - length);
        if (n < 0)
            return readFailed();
        if (n == 0)
            break;
        length += size_t(n);
    }
    if (length < wanted)
        return fileChanged(size);
    const bool last = wanted < blockSize;
    if (last) {
        uint8_t beyond;
        const long n = m_file.read(&beyond, 1);
        if (n < 0)
            return readFailed();
        if (n > 0)
            return fileChanged(size);
    }

    writeDataHeader(m_packet.data(), m_block);
    m_packetSize = dataHeaderSize + length;
    transmit(now);
    m_bytesSent += length;
    if (last) {
        m_last = true;
        logf("the last packet\n");
        return;
    }
    const int percent = percentOf(m_bytesSent, size);
    m_out.progress(percent);
    logf("translate data %d%%\n", percent);
}

void Transfer::readFailed()
{
    const int error = errno;
    logf("read the file failed!, errno: %d, info: %s\n", error, std::strerror(error));
    // An empty DATA here would end the file early and look like success.
    fail(ErrNotDefined, "Read the file failed");
}

void Transfer::fileChanged(uint64_t size)
{
    logf("the file changed while it was sent: %llu bytes when opened\n", static_cast<unsigned long long>(size));
    fail(ErrNotDefined, "File changed during transfer");
}

void Transfer::transmit(Clock::time_point now)
{
    // A failed send is a lost packet: the time-out sends it again.
    m_out.send(m_peer, m_packet.data(), m_packetSize);
    m_deadline = now + m_timing.retransmitAfter;
    m_state = State::AwaitingAck;
}

void Transfer::onTimeout(Clock::time_point now)
{
    if (m_state != State::AwaitingAck)
        return;
    if (m_retransmissions >= m_timing.maxRetransmissions) {
        logf("unreached, Retrans max\n");
        m_state = State::Failed;
        return;
    }
    logf("retrans\n");
    ++m_retransmissions;
    transmit(now);
}

void Transfer::onDatagram(const Endpoint &from, const uint8_t *data, size_t size, Clock::time_point now)
{
    if (m_state != State::AwaitingAck)
        return;
    const uint16_t opcode = opcodeOf(data, size);
    if (from != m_peer) {
        // Another sender must neither steer nor end this transfer. An ERROR is never
        // answered: two peers that did would bounce errors at each other for ever.
        if (opcode != OpError) {
            const auto error = errorPacket(ErrUnknownTransferId, "Unknown transfer ID");
            m_out.send(from, error.data(), error.size());
        }
        logf("unknown transfer id: %u.%u.%u.%u:%u\n", from.address >> 24, (from.address >> 16) & 0xff,
             (from.address >> 8) & 0xff, from.address & 0xff, from.port);
        return;
    }

    uint16_t acked = 0;
    uint16_t code = 0;
    std::string message;
    if (parseAck(data, size, acked)) {
        if (acked == m_block) {
            m_anyAcked = true;
            if (m_last) {
                m_out.progress(100);
                logf("translate data 100%%\n");
                logf("translate complete...\n");
                logf("RRQ\n");
                m_state = State::Complete;
                return;
            }
            ++m_block;
            sendNewBlock(now);
        } else if (m_anyAcked && acked == uint16_t(m_block - 1)) {
            // The requester repeats its last ACK when our DATA went missing. Answering it
            // would double every later packet; the time-out sends the block again.
            logf("block is not equal: block: %d, recv: %d\n", m_block, acked);
        } else {
            fail(ErrUnknownTransferId, "Incorect Block Number");
        }
    } else if (parseError(data, size, code, message)) {
        // The requester gave up; it will acknowledge nothing more.
        logf("we really can got error packet\n");
        logf("the client ended the transfer: error %u: %.100s\n", unsigned(code), printable(message).c_str());
        m_state = State::Failed;
    } else {
        logf("unknow ack optcode: %d\n", opcode);
    }
}

void Transfer::fail(uint16_t code, const char *message)
{
    const auto error = errorPacket(code, message);
    m_out.send(m_peer, error.data(), error.size());
    m_state = State::Failed;
}

void Transfer::logf(const char *format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    m_out.log(line);
}

} // namespace tftp
