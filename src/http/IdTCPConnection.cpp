#include "http/IdTCPConnection.h"

#include <algorithm>
#include <cstring>

#include "base/FileSystem.h"

namespace velmora {

namespace {

bool nothingReady(int64_t count)
{
    return count == IdNothingReady;
}

// A wait cut short by a signal is waited again.
bool interrupted(int ready)
{
    return ready < 0 && LastSystemError() == Id_WSAEINTR;
}

// The bytes of a file from its position to its end, without moving it.
int64_t remainingFileBytes(TFileStream& file, bool atStart)
{
    const int64_t size = file.FileSize();
    if (size < 0)
        return file.Size() - file.Position();
    return size - (atStart ? 0 : file.Position());
}

// A 32-bit length in network byte order.
uint32_t fromNetworkOrder(uint32_t bigEndian)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&bigEndian);
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
}

}  // namespace

TIdTCPConnection::TIdTCPConnection() = default;

TIdTCPConnection::~TIdTCPConnection()
{
    if (m_io)
        m_io->close();
}

bool TIdTCPConnection::connected()
{
    checkForDisconnect(false);
    return m_io && m_io->connected();
}

void TIdTCPConnection::checkForDisconnect(bool raise, bool ignoreBuffer)
{
    bool disconnected = false;
    if (!m_io) {
        disconnected = true;
    } else if (m_closedGracefully) {
        if (m_io->connected()) {
            m_io->close();
            if (OnDisconnected)
                OnDisconnected();
        }
        disconnected = true;
    } else {
        disconnected = !m_io->connected();
    }
    if (disconnected && (m_input.empty() || ignoreBuffer) && raise)
        throw EIdConnClosedGracefully(RSConnectionClosedGracefully);
}

int TIdTCPConnection::effectiveWait(int timeoutMs, bool& deadlineBound) const
{
    deadlineBound = false;
    if (!m_deadline)
        return timeoutMs;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*m_deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0)
        throw EIdReadTimeout(RSReadTimeout);
    if (timeoutMs == IdTimeoutInfinite || left < timeoutMs) {
        deadlineBound = true;
        return static_cast<int>(left);
    }
    return timeoutMs;
}

int64_t TIdTCPConnection::receiveOnce()
{
    // Straight into the input buffer. A scratch block on the thread's stack reaches below the part
    // of the stack that the C library keeps when a thread ends, so every new connection thread
    // took a page fault and a zeroed page for it.
    size_t block = RecvBufferSize;
    if (m_input.tailRoom() >= IdRecvMinimumRoom)
        block = std::min(block, m_input.tailRoom());
    else if (m_input.capacity() == 0)
        block = std::min(block, IdRecvFirstBlock);
    char* tail = m_input.reserveTail(block);
    int64_t count = m_io->receiveReady(tail, block);
    if (count > 0)
        m_input.commit(static_cast<size_t>(count));
    return count;
}

bool TIdTCPConnection::waitForInput(int timeoutMs)
{
    if (!m_input.empty() || !m_io)
        return true;
    // A client sends its request as soon as it connects: the bytes are usually there already, and
    // taking them saves the wait. An end or a failure is left for the read that follows to meet.
    if (const int64_t count = receiveOnce(); !nothingReady(count))
        return true;
    bool deadlineBound = false;
    const int ready = m_io->waitReadable(effectiveWait(timeoutMs, deadlineBound));
    if (ready == 0 && deadlineBound)
        throw EIdReadTimeout(RSReadTimeout);
    return ready != 0;
}

long TIdTCPConnection::readFromStack(bool raiseIfDisconnected, int timeout, bool raiseOnTimeout)
{
    if (timeout == -1)
        timeout = ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout;
    checkForDisconnect(raiseIfDisconnected);
    if (!connected()) {
        if (raiseIfDisconnected)
            throw EIdNotConnected(RSNotConnected);
        return 0;
    }
    for (;;) {
        // Receiving before waiting saves a system call when the bytes are already there.
        int64_t count = receiveOnce();
        if (nothingReady(count)) {
            bool deadlineBound = false;
            int ready = m_io->waitReadable(effectiveWait(timeout, deadlineBound));
            if (!m_io->connected())
                throw EIdConnClosedGracefully(RSConnectionClosedGracefully);
            if (ready == 0) {
                if (deadlineBound || raiseOnTimeout)
                    throw EIdReadTimeout(RSReadTimeout);
                return -1;
            }
            if (ready < 0 && !interrupted(ready))
                return -1;
            continue;
        }
        m_closedGracefully = count == 0;
        if (count != 0 &&
            SocketStack()->CheckSocketResult(static_cast<int>(count), {Id_WSAESHUTDOWN, Id_WSAECONNABORTED})) {
            m_io->close();
            count = 0;
        }
        checkForDisconnect(raiseIfDisconnected);
        if (count != 0 || !connected())
            return count;
    }
}

std::optional<size_t> TIdTCPConnection::findTerminator(std::string_view terminator, size_t& searchedUpTo) const
{
    std::string_view held = m_input.view();
    size_t from = searchedUpTo >= terminator.size() ? searchedUpTo - (terminator.size() - 1) : 0;
    searchedUpTo = held.size();
    size_t at = terminator.size() == 1 ? held.find(terminator[0], from) : held.find(terminator, from);
    if (at == std::string_view::npos)
        return std::nullopt;
    return at;
}

std::string TIdTCPConnection::takeLine(size_t terminatorAt, std::string_view terminator)
{
    size_t length = terminatorAt;
    if (terminator == "\n" && length > 0 && m_input.data()[length - 1] == '\r')
        --length;
    std::string line(m_input.data(), length);
    m_input.remove(terminatorAt + terminator.size());
    return line;
}

void TIdTCPConnection::checkLineLength(size_t lineLength, int maximum) const
{
    if (maximum > 0 && lineLength > static_cast<size_t>(maximum) && MaxLineAction == TIdMaxLineAction::maException)
        throw EIdReadLnMaxLineLengthExceeded(RSReadLnMaxLineLengthExceeded);
}

std::string TIdTCPConnection::readLn(std::string_view terminator, int timeout, int maxLength)
{
    if (terminator.empty())
        terminator = "\n";
    if (maxLength == -1)
        maxLength = MaxLineLength;
    m_readTimedOut = false;
    m_readLnSplit = false;
    const bool lineFeed = terminator == "\n";
    size_t searched = 0;
    for (;;) {
        auto at = findTerminator(terminator, searched);
        // A CR that belongs to a CR LF terminator does not count towards the line's length.
        size_t lineLength = at ? *at : m_input.size();
        if (lineFeed && lineLength > 0 && m_input.data()[lineLength - 1] == '\r')
            --lineLength;
        if (maxLength > 0 && lineLength > static_cast<size_t>(maxLength)) {
            checkLineLength(lineLength, maxLength);
            m_readLnSplit = true;
            return m_input.extract(static_cast<size_t>(maxLength));
        }
        if (at)
            return takeLine(*at, terminator);
        checkForDisconnect(true, true);
        if (readFromStack(true, timeout, timeout == -1) == -1) {
            m_readTimedOut = true;
            return {};
        }
    }
}

template <class Sink>
void TIdTCPConnection::captureLines(Sink sink, std::string_view delimiter, bool unstuffDots,
                                    const TIdCaptureLimits& limits)
{
    size_t lines = 0, bytes = 0;
    for (;;) {
        std::string line = readLn("\n");
        // The empty line of a read that gave up (a reset peer) is no line, least of all the end of
        // the capture: what was captured must not pass for complete.
        if (m_readTimedOut) {
            disconnectSocket();
            throw EIdClosedSocket(RSStatusDisconnected);
        }
        if (line == delimiter)
            return;
        if (++lines > limits.MaxLines)
            throw EIdCaptureLimitExceeded(RSCaptureLinesExceeded);
        bytes += line.size();
        if (bytes > limits.MaxBytes)
            throw EIdCaptureLimitExceeded(RSCaptureSizeExceeded);
        if (unstuffDots && line.size() >= 2 && line[0] == '.' && line[1] == '.')
            line.erase(0, 1);
        sink(std::move(line));
    }
}

void TIdTCPConnection::capture(TIdStringList& target, std::string_view delimiter, bool unstuffDots,
                               const TIdCaptureLimits& limits)
{
    captureLines([&](std::string line) { target.add(std::move(line)); }, delimiter, unstuffDots, limits);
}

void TIdTCPConnection::capture(TStream& target, std::string_view delimiter, bool unstuffDots,
                               const TIdCaptureLimits& limits)
{
    captureLines([&](const std::string& line) { target.WriteString(line + "\r\n"); }, delimiter, unstuffDots, limits);
}

void TIdTCPConnection::readBuffer(void* buffer, size_t count)
{
    while (m_input.size() < count) {
        // A receive that keeps failing must end the read, not loop.
        if (readFromStack(true, -1, true) < 0) {
            disconnectSocket();
            throw EIdClosedSocket(RSStatusDisconnected);
        }
        checkForDisconnect(true, true);
    }
    std::memcpy(buffer, m_input.data(), count);
    m_input.remove(count);
}

std::string TIdTCPConnection::readString(size_t count)
{
    std::string text(count, '\0');
    readBuffer(text.data(), count);
    return text;
}

void TIdTCPConnection::readStream(TStream& destination, int64_t count, bool untilDisconnect, uint64_t limit)
{
    if (count == -1 && !untilDisconnect) {
        uint32_t length = 0;
        readBuffer(&length, sizeof length);
        count = fromNetworkOrder(length);
    }
    if (!untilDisconnect && static_cast<uint64_t>(count) > limit)
        throw EIdReadLimitExceeded(RSReadLimitExceeded);
    uint64_t left = untilDisconnect ? std::numeric_limits<uint64_t>::max() : static_cast<uint64_t>(count);
    uint64_t stored = 0;
    auto moveOut = [&](uint64_t wanted) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(wanted, m_input.size()));
        if (stored + n > limit)
            throw EIdReadLimitExceeded(RSReadLimitExceeded);
        destination.Write(m_input.data(), n);
        m_input.remove(n);
        stored += n;
        left -= n;
    };
    moveOut(left);
    try {
        while (left > 0) {
            uint64_t block = std::min<uint64_t>(left, RecvBufferSize);
            while (m_input.size() < block) {
                if (readFromStack(true, -1, true) < 0) {
                    disconnectSocket();
                    throw EIdClosedSocket(RSStatusDisconnected);
                }
                if (untilDisconnect)
                    break;
                checkForDisconnect(true, true);
            }
            moveOut(untilDisconnect ? m_input.size() : block);
        }
    } catch (const EIdConnClosedGracefully&) {
        moveOut(left);
        if (!untilDisconnect)
            throw;
    }
}

void TIdTCPConnection::write(std::string_view text)
{
    writeBuffer(text.data(), text.size());
}

void TIdTCPConnection::writeLn(std::string_view text)
{
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text).append("\r\n");
    writeBuffer(line.data(), line.size());
}

void TIdTCPConnection::waitUntilWritable(std::chrono::steady_clock::time_point lastProgress)
{
    int wait = IdTimeoutInfinite;
    if (SendTimeout > 0) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(lastProgress + std::chrono::milliseconds(SendTimeout) -
                                                                 std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            m_io->close();
            throw EIdClosedSocket(RSStatusDisconnected);
        }
        wait = static_cast<int>(left);
    }
    // A wait that ran out is the end, even if the system would take a few more bytes now: it grows
    // its buffer while the peer reads nothing.
    int ready = m_io->waitWritable(wait);
    if (ready == 0 || (ready < 0 && !interrupted(ready))) {
        m_io->close();
        throw EIdClosedSocket(RSStatusDisconnected);
    }
}

void TIdTCPConnection::sendAll(const char* bytes, size_t count, bool moreFollows)
{
    auto lastProgress = std::chrono::steady_clock::now();
    while (count > 0) {
        if (!m_io || !m_io->connected())
            throw EIdClosedSocket(RSStatusDisconnected);
        int64_t sent = m_io->send(bytes, count, moreFollows);
        if (nothingReady(sent)) {
            waitUntilWritable(lastProgress);
            continue;
        }
        m_closedGracefully = sent == 0;
        checkForDisconnect(true, false);
        // Shut down, aborted, reset or any other failure: the peer will not get the rest.
        if (sent < 0) {
            m_io->close();
            throw EIdClosedSocket(RSStatusDisconnected);
        }
        bytes += sent;
        count -= static_cast<size_t>(sent);
        lastProgress = std::chrono::steady_clock::now();
    }
}

void TIdTCPConnection::writeBuffer(const void* bytes, size_t count, bool writeNow, bool moreFollows)
{
    if (count == 0)
        return;
    checkForDisconnect(true, true);
    if (!connected())
        throw EIdNotConnected(RSNotConnected);
    if (m_writeBuffer && !writeNow) {
        m_writeBuffer->append(static_cast<const char*>(bytes), count);
        if (m_writeThreshold > 0 && m_writeBuffer->size() >= static_cast<size_t>(m_writeThreshold)) {
            std::string pending = std::move(*m_writeBuffer);
            m_writeBuffer->clear();
            sendAll(pending.data(), pending.size(), false);
        }
        return;
    }
    sendAll(static_cast<const char*>(bytes), count, moreFollows);
}

void TIdTCPConnection::openWriteBuffer(long threshold)
{
    m_writeBuffer = std::make_unique<std::string>();
    m_writeThreshold = threshold;
}

void TIdTCPConnection::closeWriteBuffer(bool moreFollows)
{
    if (!m_writeBuffer)
        return;
    std::unique_ptr<std::string> pending = std::move(m_writeBuffer);
    writeBuffer(pending->data(), pending->size(), true, moreFollows);
}

void TIdTCPConnection::sendFile(TFileStream& file, int64_t count)
{
    auto lastProgress = std::chrono::steady_clock::now();
    while (count > 0) {
        checkForDisconnect(true, true);
        if (!connected())
            throw EIdNotConnected(RSNotConnected);
        int64_t sent = m_io->sendFile(file.Handle(), static_cast<size_t>(std::min<int64_t>(count, 1 << 30)));
        if (nothingReady(sent)) {
            waitUntilWritable(lastProgress);
            continue;
        }
        if (sent == 0)
            throw EIdNoDataToRead(RSIdNoDataToRead);
        if (sent < 0) {
            m_io->close();
            throw EIdClosedSocket(RSStatusDisconnected);
        }
        count -= sent;
        lastProgress = std::chrono::steady_clock::now();
    }
}

void TIdTCPConnection::sendPieces(TStream& stream, int64_t count)
{
    size_t pieceSize = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(SendBufferSize)));
    auto piece = std::make_unique_for_overwrite<char[]>(pieceSize);
    while (count > 0) {
        size_t wanted = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(pieceSize)));
        size_t got = stream.Read(piece.get(), wanted);
        if (got == 0)
            throw EIdNoDataToRead(RSIdNoDataToRead);
        writeBuffer(piece.get(), got);
        count -= static_cast<int64_t>(got);
    }
}

void TIdTCPConnection::writeStream(TStream& stream, bool all, int64_t size)
{
    if (all)
        stream.SetPosition(0);
    auto* file = dynamic_cast<TFileStream*>(&stream);
    int64_t count = size;
    if (count <= 0)
        count = file ? remainingFileBytes(*file, all) : stream.Size() - stream.Position();
    if (count <= 0)
        return;
    // The file system hands a file to the socket without a copy; a transport that cannot, or an
    // open write buffer, takes it in pieces.
    if (file && !m_writeBuffer && m_io && m_io->canSendFile()) {
        sendFile(*file, count);
        return;
    }
    sendPieces(stream, count);
}

void TIdTCPConnection::disconnect()
{
    if (m_io && m_io->connected()) {
        m_io->close();
        if (OnDisconnected)
            OnDisconnected();
    }
}

void TIdTCPConnection::disconnectSocket()
{
    if (m_io)
        m_io->close();
}

void TIdTCPConnection::closeFromOutside()
{
    if (m_io)
        m_io->closeFromOutside();
}

}  // namespace velmora
