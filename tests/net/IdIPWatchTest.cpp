#include "net/IdIPWatch.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "base/Stream.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// A watch whose lookups answer what the test scripts; an empty script entry fails the lookup.
class ScriptedWatch : public testing::Test {
protected:
    TMainThreadQueue queue;
    std::string address;
    bool lookupFails = false;
    int events = 0;
    TIdIPWatch watch{queue, [this] {
                         if (lookupFails)
                             throw EIdNoLocalAddress(RSNoLocalAddress);
                         return address;
                     }};

    void SetUp() override
    {
        watch.HistoryEnabled = false;
        watch.OnStatusChanged = [this](TIdIPWatch&) { ++events; };
    }
    void poll(const std::string& next)
    {
        address = next;
        watch.PollStatus();
    }
};

TEST_F(ScriptedWatch, TransitionsFireTheEventAndKeepTheHistory)
{
    poll("127.0.0.1");
    EXPECT_FALSE(watch.Online());
    poll("127.0.1.1");
    EXPECT_FALSE(watch.Online());
    EXPECT_EQ(events, 0);

    poll("192.168.0.10");
    EXPECT_TRUE(watch.Online());
    EXPECT_EQ(events, 1);
    EXPECT_TRUE(watch.AddressHistory().empty());

    poll("10.0.0.7");
    EXPECT_EQ(events, 1) << "a change while online is no event";
    EXPECT_EQ(watch.CurrentAddress(), "10.0.0.7");

    poll("127.0.0.1");
    EXPECT_EQ(events, 2);
    EXPECT_EQ(watch.PreviousAddress(), "10.0.0.7");
    EXPECT_EQ(watch.AddressHistory(), std::vector<std::string>{"10.0.0.7"});

    poll("10.0.0.7");
    EXPECT_EQ(events, 3);
    EXPECT_EQ(watch.AddressHistory(), std::vector<std::string>{"10.0.0.7"});

    poll("");
    EXPECT_EQ(events, 4);
    EXPECT_FALSE(watch.Online());
}

TEST_F(ScriptedWatch, AFailedLookupKeepsTheStateAndFiresNothing)
{
    poll("192.168.0.10");
    lookupFails = true;
    poll("ignored");
    EXPECT_TRUE(watch.Online());
    EXPECT_EQ(watch.CurrentAddress(), "192.168.0.10");
    EXPECT_EQ(events, 1);
    EXPECT_FALSE(watch.LookupBusy());
    EXPECT_THROW(watch.QueryLocalAddress(), EIdNoLocalAddress);
}

TEST_F(ScriptedWatch, AFailingEventHandlerEndsTheCheckSilently)
{
    watch.OnStatusChanged = [](TIdIPWatch&) { throw std::runtime_error("handler failed"); };
    EXPECT_NO_THROW(poll("192.168.0.10"));
    EXPECT_TRUE(watch.Online());
}

TEST_F(ScriptedWatch, HistoryKeepsOneOfARepeatAndTheNewestEntries)
{
    watch.RecordHistory("10.0.0.1");
    watch.RecordHistory("10.0.0.1");
    watch.RecordHistory("127.0.0.1");
    watch.RecordHistory("");
    EXPECT_EQ(watch.AddressHistory().size(), 1u);
    for (int i = 2; i <= 27; ++i)
        watch.RecordHistory("10.0.0." + std::to_string(i));
    ASSERT_EQ(watch.AddressHistory().size(), 25u);
    EXPECT_EQ(watch.AddressHistory().front(), "10.0.0.3");
    watch.SetMaxHistoryEntries(2);
    EXPECT_EQ(watch.AddressHistory(), (std::vector<std::string>{"10.0.0.26", "10.0.0.27"}));
}

TEST(IdIPWatch, DestroyingItWhileOnlineRecordsTheAddressInItsHistoryFile)
{
    TMainThreadQueue queue;
    auto file = std::filesystem::temp_directory_path() / ("velmora-iphist-" + std::to_string(::getpid()));
    {
        TIdIPWatch watch(queue, [] { return std::string("192.168.0.10"); });
        watch.HistoryFilename = file.string();
        watch.PollStatus();
    }
    EXPECT_EQ(ReadWholeFile(file.string()), "192.168.0.10\n");
    std::filesystem::remove(file);
    {
        TIdIPWatch watch(queue, [] { return std::string("192.168.0.10"); });
        watch.HistoryFilename = file.string();
        watch.HistoryEnabled = false;
        watch.PollStatus();
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(IdIPWatch, ChecksRunOnTheMainThreadAndStoppingCannotDeadlock)
{
    TMainThreadQueue queue;
    const auto mainThread = std::this_thread::get_id();
    std::atomic<int> checks{0};
    bool everOffMain = false;
    TIdIPWatch watch(queue, [&] {
        everOffMain = everOffMain || std::this_thread::get_id() != mainThread;
        ++checks;
        return std::string("192.168.0.10");
    });
    watch.HistoryEnabled = false;
    watch.SetWatchInterval(20);
    bool changed = false;
    watch.OnStatusChanged = [&](TIdIPWatch&) { changed = true; };
    watch.SetActive(true);
    watch.SetActive(true);
    EXPECT_TRUE(queue.WaitWhileServing([&] { return checks >= 3; }, 10s));
    EXPECT_TRUE(changed);
    // The worker may be blocked in a hand-over right now: stopping serves it.
    watch.SetActive(false);
    EXPECT_FALSE(watch.Active());
    EXPECT_FALSE(everOffMain);
}

}  // namespace
}  // namespace velmora
