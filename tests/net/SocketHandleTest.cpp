#include "net/IdSocketHandle.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace velmora {
namespace {

TEST(SocketHandle, BindingPortZeroReadsTheChosenPortBack)
{
    TIdSocketHandle binding;
    binding.IP = "127.0.0.1";
    binding.allocateSocket();
    binding.bind();
    EXPECT_GT(binding.Port, 0);
    EXPECT_EQ(binding.IP, "127.0.0.1");
    EXPECT_TRUE(binding.listen(15));
}

TEST(SocketHandle, APortInUseIsReportedAsAnotherCopyRunning)
{
    TIdSocketHandle first;
    first.IP = "127.0.0.1";
    first.allocateSocket();
    first.bind();
    ASSERT_TRUE(first.listen(1));
    TIdSocketHandle second;
    second.IP = "127.0.0.1";
    second.Port = first.Port;
    second.allocateSocket();
    try {
        second.bind();
        FAIL();
    } catch (const EIdCouldNotBindSocket& error) {
        EXPECT_EQ(error.Message(), "Ja existe um programa da Velmora aberto no computador.");
    }
}

TEST(SocketHandle, PortRangesAreTriedFromTheTopAndReversedLimitsFail)
{
    TIdSocketHandle reversed;
    reversed.ClientPortMin = 40010;
    reversed.ClientPortMax = 40000;
    reversed.allocateSocket();
    try {
        reversed.bind();
        FAIL();
    } catch (const EIdInvalidPortRange& error) {
        EXPECT_EQ(error.Message(), "Invalid Port Range (40010 - 40000)");
    }
}

TEST(SocketHandle, ABadAddressTextFailsTheBind)
{
    TIdSocketHandle binding;
    binding.IP = "256.0.0.1";
    binding.allocateSocket();
    EXPECT_THROW(binding.bind(), EIdInvalidIPAddress);
}

TEST(SocketHandle, ShutdownFromAnotherThreadWakesAWaitOnTheSocket)
{
    TIdSocketHandle binding;
    binding.IP = "127.0.0.1";
    binding.allocateSocket();
    binding.bind();
    ASSERT_TRUE(binding.listen(1));
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        binding.shutdownFromOutside();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(binding.waitReadable(5000), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    closer.join();
    binding.closeSocket();
    EXPECT_FALSE(binding.HandleAllocated());
}

}  // namespace
}  // namespace velmora
