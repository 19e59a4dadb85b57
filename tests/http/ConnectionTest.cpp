#include "HttpTestSupport.h"
#include "http/IdIOHandlerSocket.h"
#include "http/IdTCPConnection.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

struct MemoryConnection {
    TIdTCPConnection connection;
    TIdIOHandlerStream* stream;
    explicit MemoryConnection(const std::string& input, size_t chunk = 0)
    {
        auto io = std::make_unique<TIdIOHandlerStream>(input, chunk);
        stream = io.get();
        connection.setIOHandler(std::move(io));
    }
};

// A connection over a real loopback socket; peer is the other end.
struct SocketConnection {
    TIdTCPConnection connection;
    test::Socket peer;
    SocketConnection()
    {
        test::LoopbackListener listener;
        peer = test::connectLoopback(listener.port());
        auto io = std::make_unique<TIdIOHandlerSocket>();
        io->Binding().adopt(listener.accept().release(), {"127.0.0.1", 0});
        connection.setIOHandler(std::move(io));
    }
    std::string readPeer() { return peer.receiveAll(); }
};

TEST(ConnectionReadLn, TakesLinesEndedByLFOrCRLFAtAnyArrivalPace)
{
    for (size_t chunk : {0, 1, 2, 3, 4, 5}) {
        MemoryConnection memory("GET / HTTP/1.1\r\nGET / HTTP/1.1\nlast\r\n", chunk);
        EXPECT_EQ(memory.connection.readLn(), "GET / HTTP/1.1") << chunk;
        EXPECT_EQ(memory.connection.readLn(), "GET / HTTP/1.1") << chunk;
        EXPECT_EQ(memory.connection.readLn(), "last") << chunk;
    }
}

TEST(ConnectionReadLn, AcceptsMaxLineLengthBytesAndRefusesOneMore)
{
    for (const char* ending : {"\n", "\r\n"}) {
        std::string atLimit(IdMaxLineLengthDefault, 'a');
        MemoryConnection accepted(atLimit + ending, 1000);
        EXPECT_EQ(accepted.connection.readLn(), atLimit);

        MemoryConnection refused(std::string(IdMaxLineLengthDefault + 1, 'a') + ending, 1000);
        try {
            refused.connection.readLn();
            FAIL();
        } catch (const EIdReadLnMaxLineLengthExceeded& error) {
            EXPECT_EQ(error.Message(), "Max line length exceeded.");
        }
    }
    MemoryConnection split("abcdefgh\n");
    split.connection.MaxLineAction = TIdMaxLineAction::maSplit;
    EXPECT_EQ(split.connection.readLn("\n", -1, 5), "abcde");
    EXPECT_TRUE(split.connection.ReadLnSplit());
    EXPECT_EQ(split.connection.readLn(), "fgh");
}

TEST(ConnectionReadLn, APeerClosingMidLineEndsTheReadAndTheLineIsLost)
{
    MemoryConnection memory("GET /partial", 3);
    try {
        memory.connection.readLn();
        FAIL();
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_EQ(error.Message(), "Connection Closed Gracefully.");
    }
    EXPECT_FALSE(memory.connection.connected());
}

TEST(ConnectionReadLn, AResetPeerGivesAnEmptyLineMarkedTimedOut)
{
    MemoryConnection memory("GET");
    memory.stream->FailAtEndWith = Id_WSAECONNRESET;
    EXPECT_EQ(memory.connection.readLn(), "");
    EXPECT_TRUE(memory.connection.ReadTimedOut());
}

// Regression: the empty line of a reset passed for the delimiter, so a cut capture looked complete.
TEST(ConnectionCapture, AResetPeerEndsTheCaptureAsAClosedConnection)
{
    for (const char* input : {"Host: x\r\n", "Host: x\r\nAcc", ""}) {
        MemoryConnection memory(input, 2);
        memory.stream->FailAtEndWith = Id_WSAECONNRESET;
        TIdStringList lines;
        EXPECT_THROW(memory.connection.capture(lines), EIdClosedSocket) << input;
        EXPECT_FALSE(memory.connection.connected()) << input;
    }
}

TEST(ConnectionCapture, StopsAtTheDelimiterUnstuffsDotsAndKeepsItsLimits)
{
    MemoryConnection memory("a\r\n..b\r\n.c\r\n\r\nrest\n");
    TIdStringList lines;
    memory.connection.capture(lines);
    EXPECT_EQ(lines.lines(), (std::vector<std::string>{"a", ".b", ".c"}));
    EXPECT_EQ(memory.connection.readLn(), "rest");

    auto headers = [](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += "X-" + std::to_string(i) + ": v\r\n";
        return text + "\r\n";
    };
    MemoryConnection atLimit(headers(100));
    TIdStringList kept;
    atLimit.connection.capture(kept, "", true, {100, 65536});
    EXPECT_EQ(kept.count(), 100u);
    MemoryConnection onePast(headers(101));
    EXPECT_THROW(onePast.connection.capture(kept, "", true, {100, 65536}), EIdCaptureLimitExceeded);
    MemoryConnection tooBig("X: " + std::string(9, 'v') + "\r\nY: " + std::string(9, 'v') + "\r\n\r\n");
    MemoryConnection exactly("X: " + std::string(9, 'v') + "\r\nY: " + std::string(9, 'v') + "\r\n\r\n");
    EXPECT_NO_THROW(exactly.connection.capture(kept, "", true, {100, 24}));
    EXPECT_THROW(tooBig.connection.capture(kept, "", true, {100, 23}), EIdCaptureLimitExceeded);
}

TEST(ConnectionReadStream, ReadsACountUntilTheCloseOrWithinALimit)
{
    MemoryConnection counted("0123456789tail", 3);
    TStringStream first;
    counted.connection.readStream(first, 10);
    EXPECT_EQ(first.DataString(), "0123456789");
    EXPECT_EQ(counted.connection.readString(4), "tail");

    MemoryConnection prefixed(std::string("\0\0\0\3abc", 7));
    TStringStream second;
    prefixed.connection.readStream(second);
    EXPECT_EQ(second.DataString(), "abc");

    MemoryConnection untilClose(std::string(70000, 'z'), 4096);
    TStringStream all;
    untilClose.connection.readStream(all, -1, true);
    EXPECT_EQ(all.DataString().size(), 70000u);

    MemoryConnection overLimit(std::string(70000, 'z'), 4096);
    TStringStream capped;
    EXPECT_THROW(overLimit.connection.readStream(capped, -1, true, 69999), EIdReadLimitExceeded);

    MemoryConnection shortBody("abc");
    TStringStream incomplete;
    EXPECT_THROW(shortBody.connection.readStream(incomplete, 10), EIdConnClosedGracefully);
}

TEST(ConnectionReadStream, EveryByteArrivesInOrderWhateverTheReceiveBlockAndArrivalPace)
{
    std::string input;
    for (int line = 0; input.size() < 300000; ++line)
        input += std::string(static_cast<size_t>(line * 37 % 5000), static_cast<char>('a' + line % 26)) + "\r\n";
    const size_t blocks[] = {1, 100, 4095, 4096, 32768, 100000};
    const size_t paces[] = {0, 7, 4096, 65536};
    for (size_t block : blocks) {
        for (size_t pace : paces) {
            MemoryConnection memory(input, pace);
            memory.connection.RecvBufferSize = block;
            std::string lines;
            while (lines.size() + 2 < input.size() / 2)
                lines += memory.connection.readLn() + "\r\n";
            std::string rest = memory.connection.readString(input.size() - lines.size());
            EXPECT_TRUE(lines + rest == input) << "block " << block << ", pace " << pace;
        }
    }
}

TEST(ConnectionWrite, StreamsGoOutInSendBufferSizePiecesAndTheWriteBufferInOneSend)
{
    MemoryConnection memory("");
    TStringStream body(std::string(100000, 'b'));
    memory.connection.writeStream(body);
    EXPECT_EQ(memory.stream->sends(), (std::vector<size_t>{32768, 32768, 32768, 1696}));

    MemoryConnection head("");
    head.connection.openWriteBuffer();
    head.connection.writeLn("HTTP/1.1 200 OK");
    head.connection.writeLn("Connection: close");
    head.connection.writeLn();
    EXPECT_TRUE(head.stream->sends().empty());
    head.connection.closeWriteBuffer();
    EXPECT_EQ(head.stream->sends(), (std::vector<size_t>{38}));
    EXPECT_EQ(head.stream->output(), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
}

TEST(ConnectionWrite, AStreamShorterThanAskedFailsWithNoDataToRead)
{
    MemoryConnection memory("");
    TStringStream body("abc");
    try {
        memory.connection.writeStream(body, true, 10);
        FAIL();
    } catch (const EIdNoDataToRead& error) {
        EXPECT_EQ(error.Message(), "No data to read.");
    }
    EXPECT_EQ(memory.stream->output(), "abc");
}

TEST(ConnectionWrite, AFailedSendClosesTheConnectionAndReportsDisconnected)
{
    MemoryConnection memory("");
    memory.stream->FailSendsAfter = 0;
    try {
        memory.connection.write("lost");
        FAIL();
    } catch (const EIdClosedSocket& error) {
        EXPECT_EQ(error.Message(), "Disconnected.");
    }
    EXPECT_FALSE(memory.connection.connected());
    EXPECT_THROW(memory.connection.write("again"), EIdConnClosedGracefully);
}

TEST(ConnectionSocket, FilesGoStraightToTheSocketWithEveryByte)
{
    auto path = std::filesystem::temp_directory_path() / "velmora-connection-file.bin";
    std::string content;
    for (int i = 0; i < 300000; ++i)
        content += static_cast<char>(i * 7);
    std::ofstream(path, std::ios::binary) << content;
    SocketConnection sockets;
    std::string received;
    std::thread reader([&] { received = sockets.readPeer(); });
    TFileStream file(path.string(), TFileStream::fmOpenRead);
    sockets.connection.writeStream(file);
    sockets.connection.disconnect();
    reader.join();
    EXPECT_EQ(received, content);
    std::filesystem::remove(path);
}

// A transport that takes whatever a file send offers, without reading it, and counts it.
class FileCounter : public TIdIOHandlerStream {
public:
    FileCounter() : TIdIOHandlerStream("") {}
    bool canSendFile() const override { return true; }
    int64_t sendFile(std::intptr_t, size_t count) override
    {
        Sent += static_cast<int64_t>(count);
        return static_cast<int64_t>(count);
    }
    int64_t Sent = 0;
};

// Past 4 GiB the send loop keeps counting: every byte of the file leaves, and no more.
TEST(ConnectionWrite, AFileOfMoreThanFourGibibytesGoesOutWhole)
{
    const int64_t size = (int64_t{4} << 30) + 5;
    auto path = std::filesystem::temp_directory_path() / ("velmora-4g-" + std::to_string(::getpid()) + ".bin");
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, static_cast<uintmax_t>(size));  // sparse: no disk taken
    TIdTCPConnection connection;
    auto counter = std::make_unique<FileCounter>();
    FileCounter& sent = *counter;
    connection.setIOHandler(std::move(counter));
    TFileStream file(path.string(), TFileStream::fmOpenRead);
    connection.writeStream(file);
    EXPECT_EQ(sent.Sent, size);
    std::filesystem::remove(path);
}

TEST(ConnectionSocket, AReadDeadlineEndsAWaitForBytesThatNeverCome)
{
    SocketConnection sockets;
    sockets.connection.setReadDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    auto start = std::chrono::steady_clock::now();
    try {
        sockets.connection.readLn();
        FAIL();
    } catch (const EIdReadTimeout& error) {
        EXPECT_EQ(error.Message(), "Read Timeout");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(ConnectionSocket, ClosingFromOutsideEndsAPendingRead)
{
    SocketConnection sockets;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sockets.connection.closeFromOutside();
    });
    EXPECT_THROW(sockets.connection.readLn(), EIdConnClosedGracefully);
    closer.join();
}

}  // namespace
}  // namespace velmora
