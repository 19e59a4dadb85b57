#include "net/IdStack.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "Loopback.h"
#include "base/FileSystem.h"

namespace velmora {
namespace {

TEST(StackAddressText, AcceptsOneToFourDottedDecimalParts)
{
    struct Row {
        const char* text;
        const char* shown;
    };
    const Row rows[] = {
        {"192.168.0.10", "192.168.0.10"},
        {"10.1", "10.0.0.1"},
        {"10.1.2", "10.1.0.2"},
        {"3232235530", "192.168.0.10"},
        {"0", "0.0.0.0"},
        {"4294967295", "255.255.255.255"},
        {"10.16777215", "10.255.255.255"},
        {"1.2.65535", "1.2.255.255"},
        {"127.0.0.1", "127.0.0.1"},
    };
    for (const Row& row : rows) {
        auto address = TIdStack::tryTextToAddress(row.text);
        ASSERT_TRUE(address.has_value()) << row.text;
        EXPECT_EQ(TIdStack::addressToText(*address), row.shown) << row.text;
        EXPECT_TRUE(TIdStack::isIP(row.text)) << row.text;
    }
}

TEST(StackAddressText, RefusesEverythingElseWithTheTextInTheMessage)
{
    const char* rows[] = {"256.1.1.1", "1.2.3.4.5", "",         "1..2",     "a.b.c.d",  "4294967296", "10.16777216",
                          "1.2.65536", "1.2.3.256", "-1.2.3.4", " 1.2.3.4", "1.2.3.4 ", "0x7f.0.0.1"};
    for (const char* text : rows) {
        EXPECT_FALSE(TIdStack::isIP(text)) << text;
        try {
            TIdStack::textToAddress(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const EIdInvalidIPAddress& error) {
            EXPECT_EQ(error.Message(), std::string(text) + " is not a valid IP address.");
        }
    }
}

TEST(Stack, ResolvesLocalhostInAnyCaseAndIPTextWithoutLookup)
{
    TIdStackRef stack;
    EXPECT_EQ(stack.stack().resolveHost("localhost"), "127.0.0.1");
    EXPECT_EQ(stack.stack().resolveHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.stack().resolveHost("10.1"), "10.1");
}

TEST(Stack, LivesExactlyWhileANetworkComponentLivesAndStartsThePlatformOnce)
{
    EXPECT_EQ(SocketStack(), nullptr);
    {
        TIdStackRef first;
        EXPECT_NE(SocketStack(), nullptr);
        const TIdStackRef second(first);  // NOLINT(performance-unnecessary-copy-initialization): the copy is the point
        EXPECT_EQ(StackComponentCount(), 2);
    }
    EXPECT_EQ(SocketStack(), nullptr);
    EXPECT_EQ(StackComponentCount(), 0);
    {
        TIdStackRef again;
    }
    EXPECT_EQ(StackStartupCount(), 1);
}

// A connected pair over loopback: the server side and the client side.
struct TcpPair {
    test::LoopbackListener listener;
    test::Socket client = test::connectLoopback(listener.port());
    test::Socket accepted = listener.accept();
    TIdStackSocketHandle server = accepted.handle();
};

TEST(StackCheckSocketResult, AnswersOnlyWhetherAnExpectedFailureHappened)
{
    TIdStackRef ref;
    TIdStack& stack = ref.stack();
    TcpPair pair;
    pair.client.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    char buffer[16];
    int64_t got = stack.receive(pair.server, buffer, sizeof buffer, 0);
    if (got == 0)
        GTEST_SKIP() << "this system closed the connection in order instead of resetting it";
    EXPECT_EQ(got, -1);
    EXPECT_FALSE(stack.CheckSocketResult(static_cast<int>(got), {Id_WSAESHUTDOWN, Id_WSAECONNABORTED}));
    SetLastSystemError(Id_WSAECONNRESET);
    EXPECT_TRUE(stack.CheckSocketResult(-1, {Id_WSAECONNABORTED, Id_WSAECONNRESET}));
    EXPECT_FALSE(stack.CheckSocketResult(-1, {}));
    EXPECT_FALSE(stack.CheckSocketResult(0, {Id_WSAECONNRESET}));
}

TEST(StackReadinessWait, ZeroReturnsAtOnceAndWithoutLimitWaitsForTheHandle)
{
    TIdStackRef ref;
    TIdStack& stack = ref.stack();
    TcpPair pair;
    TIdSocketList read{pair.server};
    EXPECT_EQ(stack.select(&read, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(read.empty());

    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pair.client.sendAll("x");
    });
    read = {pair.server};
    TIdSocketList write{pair.server};
    EXPECT_GE(stack.select(&read, nullptr, nullptr, IdTimeoutInfinite), 1);
    writer.join();
    EXPECT_EQ(read, TIdSocketList{pair.server});
    EXPECT_EQ(stack.select(nullptr, &write, nullptr, 0), 1);
    EXPECT_EQ(write, TIdSocketList{pair.server});
}

TEST(StackReadinessWait, HoldsAtMostSixtyFourHandlesPerList)
{
    TIdStackRef ref;
    TcpPair pair;
    TIdSocketList atLimit(IdMaxWaitHandles, pair.server);
    EXPECT_EQ(ref.stack().select(&atLimit, nullptr, nullptr, 0), 0);
    TIdSocketList onePast(IdMaxWaitHandles + 1, pair.server);
    try {
        ref.stack().select(&onePast, nullptr, nullptr, 0);
        FAIL();
    } catch (const EIdStackSetSizeExceeded& error) {
        EXPECT_EQ(error.Message(), "Set Size Exceeded.");
    }
}

TEST(StackServices, NamesAndNumbersGivePortsAndUnknownNamesFail)
{
    TIdStackRef ref;
    EXPECT_EQ(ref.stack().serviceByName("8099"), 8099);
    try {
        ref.stack().serviceByName("no-such-service-here");
        FAIL();
    } catch (const EIdInvalidServiceName& error) {
        EXPECT_EQ(error.Message(), "no-such-service-here is not a valid service.");
    }
}

}  // namespace
}  // namespace velmora
