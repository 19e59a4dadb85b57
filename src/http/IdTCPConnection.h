#pragma once
// One TCP connection seen as a byte stream with an input buffer: lines, blocks and streams in,
// strings, blocks and streams out, an optional write buffer, and the test whether the peer or this
// side closed it. Used by its own thread only; another thread may only closeFromOutside().

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/Limits.h"
#include "base/Stream.h"
#include "http/IdBuffer.h"
#include "http/IdIOHandler.h"
#include "http/IdStrings.h"
#include "net/IdException.h"
#include "net/IdStack.h"

namespace velmora {

class EIdTCPConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdNotConnected : public EIdTCPConnectionError {
public:
    using EIdTCPConnectionError::EIdTCPConnectionError;
};
class EIdNoDataToRead : public EIdTCPConnectionError {
public:
    using EIdTCPConnectionError::EIdTCPConnectionError;
};
class EIdConnClosedGracefully : public EIdSilentException {
public:
    using EIdSilentException::EIdSilentException;
};
class EIdClosedSocket : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdReadTimeout : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    using EIdException::EIdException;
};
// A capture (of header lines) went past its line count or byte size.
class EIdCaptureLimitExceeded : public EIdException {
public:
    using EIdException::EIdException;
};
// A stream read went past the most bytes its caller would take.
class EIdReadLimitExceeded : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSNotConnected = "Not Connected";
inline constexpr const char* RSConnectionClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* RSReadTimeout = "Read Timeout";
inline constexpr const char* RSReadLnMaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr const char* RSStatusDisconnected = "Disconnected.";
inline constexpr const char* RSIdNoDataToRead = "No data to read.";
inline constexpr const char* RSCaptureLinesExceeded = "Max line count exceeded.";
inline constexpr const char* RSCaptureSizeExceeded = "Max capture size exceeded.";
inline constexpr const char* RSReadLimitExceeded = "Max read size exceeded.";

inline constexpr size_t IdRecvBufferSizeDefault = 32768;
// Below this much free space at the input buffer's end, a receive makes room for a whole block.
inline constexpr size_t IdRecvMinimumRoom = 4096;
// A connection's first receive takes at most this much: a request's head usually fits, and a
// connection waiting on a slow client holds a small buffer, not a whole block.
inline constexpr size_t IdRecvFirstBlock = IdBufferMinimumCapacity;
inline constexpr size_t IdSendBufferSizeDefault = 32768;

enum class TIdMaxLineAction { maException, maSplit };

// Bounds of one capture; exceeding either throws EIdCaptureLimitExceeded.
struct TIdCaptureLimits {
    size_t MaxLines = std::numeric_limits<size_t>::max();
    size_t MaxBytes = std::numeric_limits<size_t>::max();
};

class TIdTCPConnection {
public:
    TIdTCPConnection();
    virtual ~TIdTCPConnection();
    TIdTCPConnection(const TIdTCPConnection&) = delete;
    TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;

    int MaxLineLength = IdMaxLineLengthDefault;
    TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
    // Milliseconds; 0 waits without limit.
    int ReadTimeout = 0;
    // Milliseconds a send may go without any byte leaving before the connection is closed and the
    // send fails with EIdClosedSocket; 0 waits without limit.
    int SendTimeout = 0;
    size_t RecvBufferSize = IdRecvBufferSizeDefault;
    size_t SendBufferSize = IdSendBufferSizeDefault;
    std::function<void()> OnDisconnected;

    void setIOHandler(std::unique_ptr<TIdIOHandler> handler) { m_io = std::move(handler); }
    TIdIOHandler* IOHandler() const { return m_io.get(); }
    TIdBuffer& InputBuffer() { return m_input; }
    bool ClosedGracefully() const { return m_closedGracefully; }
    bool ReadTimedOut() const { return m_readTimedOut; }
    bool ReadLnSplit() const { return m_readLnSplit; }

    // Every read after this moment fails with EIdReadTimeout, whatever its own timeout; none lifts it.
    void setReadDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) { m_deadline = deadline; }

    bool connected();
    // Throws EIdConnClosedGracefully when raise is set, the connection is gone and the input buffer is
    // empty (or ignoreBuffer is set).
    void checkForDisconnect(bool raise = true, bool ignoreBuffer = false);
    // Waits up to timeoutMs until bytes (or the end, or a failure) can be read; answers false when
    // none could. Past the read deadline it throws EIdReadTimeout.
    bool waitForInput(int timeoutMs);
    // Bytes added to the input buffer, 0 when the connection closed, -1 when the wait timed out (only
    // without raiseOnTimeout) or the receive failed. timeout -1 means ReadTimeout.
    long readFromStack(bool raiseIfDisconnected = true, int timeout = -1, bool raiseOnTimeout = true);
    // The line without its terminator (LF also drops a CR before it). Answers an empty line with
    // ReadTimedOut set when the read gave up; maxLength -1 means MaxLineLength, 0 no limit.
    std::string readLn(std::string_view terminator = "\n", int timeout = -1, int maxLength = -1);
    // Lines up to the delimiter line, which is not kept; ".." at the start of a line loses a dot. A read
    // that gives up (a reset peer) closes the connection and throws EIdClosedSocket.
    void capture(TIdStringList& target, std::string_view delimiter = "", bool unstuffDots = true,
                 const TIdCaptureLimits& limits = {});
    void capture(TStream& target, std::string_view delimiter = "", bool unstuffDots = true,
                 const TIdCaptureLimits& limits = {});
    // Exactly count bytes.
    void readBuffer(void* buffer, size_t count);
    std::string readString(size_t count);
    // count -1 without untilDisconnect reads a 4-byte length in network order first. More than limit
    // bytes throws EIdReadLimitExceeded before they are stored.
    void readStream(TStream& destination, int64_t count = -1, bool untilDisconnect = false,
                    uint64_t limit = std::numeric_limits<uint64_t>::max());

    void write(std::string_view text);
    void writeLn(std::string_view text = {});
    void writeBuffer(const void* bytes, size_t count, bool writeNow = false, bool moreFollows = false);
    // From the position (from the start with all) to the end, or size bytes; a file goes straight from
    // the file system to the socket, any other stream in SendBufferSize pieces.
    void writeStream(TStream& stream, bool all = true, int64_t size = 0);
    // threshold -1 never flushes before closing.
    void openWriteBuffer(long threshold = -1);
    // Sends what was collected in one write; moreFollows holds it for the body that comes next.
    void closeWriteBuffer(bool moreFollows = false);
    bool writeBufferOpen() const { return m_writeBuffer != nullptr; }

    void disconnect();
    // Closes the socket, nothing else.
    void disconnectSocket();
    // From another thread: ends a pending read so that the owner's loop ends.
    void closeFromOutside();

private:
    int effectiveWait(int timeoutMs, bool& deadlineBound) const;
    int64_t receiveOnce();
    std::optional<size_t> findTerminator(std::string_view terminator, size_t& searchedUpTo) const;
    std::string takeLine(size_t terminatorAt, std::string_view terminator);
    void checkLineLength(size_t lineLength, int maximum) const;
    void sendAll(const char* bytes, size_t count, bool moreFollows);
    // Waits until the transport takes bytes again; past SendTimeout since lastProgress it closes the
    // connection and throws EIdClosedSocket.
    void waitUntilWritable(std::chrono::steady_clock::time_point lastProgress);
    void sendFile(TFileStream& file, int64_t count);
    void sendPieces(TStream& stream, int64_t count);
    template <class Sink>
    void captureLines(Sink sink, std::string_view delimiter, bool unstuffDots, const TIdCaptureLimits& limits);

    TIdStackRef m_stack;
    std::unique_ptr<TIdIOHandler> m_io;
    TIdBuffer m_input;
    std::unique_ptr<std::string> m_writeBuffer;
    long m_writeThreshold = -1;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    bool m_closedGracefully = false;
    bool m_readTimedOut = false;
    bool m_readLnSplit = false;
};

}  // namespace velmora
