#include "operator/PhoneTracker.h"

#include <gtest/gtest.h>
#include <thread>

#include "HttpTestSupport.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const TManifestIndex> manifestOf(const std::vector<std::string>& images)
{
    std::vector<TManifestEntry> entries{{"screen.xml", "http://h:1/screen.xml", "/screen.xml"}};
    for (const std::string& name : images)
        entries.push_back({name, "http://h:1/Images/" + name, "/Images/" + name});
    return std::make_shared<const TManifestIndex>(entries);
}

class Tracker : public testing::Test {
protected:
    void get(const std::string& peer, const std::string& path, int status = 200, uint64_t bytes = 100,
             bool completed = true, const std::string& method = "GET")
    {
        tracker.Record({peer, method, path, status, bytes, completed});
    }
    void importAll(const std::string& peer)
    {
        get(peer, "/");
        for (const char* path : {"/screen.xml", "/Images/a.png", "/Images/b.png"})
            get(peer, path);
    }
    TPhoneSnapshot phone(const std::string& address)
    {
        for (const TPhoneSnapshot& snapshot : last.Phones)
            if (snapshot.Address == address)
                return snapshot;
        ADD_FAILURE() << "no phone " << address;
        return {};
    }
    std::vector<std::string> reportLines()
    {
        std::vector<std::string> lines;
        for (const TPhoneReport& report : last.Reports)
            lines.push_back(PhoneReportLine(report));
        return lines;
    }
    TPhoneChanges collect() { return last = tracker.Collect(); }

    ManualClock clock;
    TPhoneTracker tracker{clock};
    TPhoneChanges last;
};

TEST_F(Tracker, AnImportIsCompleteOnceEveryListedFileWasServedAfterTheManifest)
{
    tracker.SetManifest(manifestOf({"a.png", "b.png"}));
    get("10.0.0.7", "/Images/a.png");
    collect();
    EXPECT_EQ(phone("10.0.0.7").State, TPhoneState::Connected) << "no manifest yet";

    get("10.0.0.7", "/", 200, 500);
    get("10.0.0.7", "/screen.xml", 200, 1000);
    clock.advance(1500ms);
    get("10.0.0.7", "/Images/A.PNG", 200, 200000);
    get("10.0.0.7", "/Images/a.png", 200, 200000);
    collect();
    EXPECT_EQ(phone("10.0.0.7").State, TPhoneState::Importing);
    EXPECT_EQ(phone("10.0.0.7").Served, 2u) << "a.png counts once, whatever its case";
    EXPECT_EQ(phone("10.0.0.7").Listed, 3u);
    EXPECT_TRUE(last.Reports.empty());

    clock.advance(2750ms);
    get("10.0.0.7", "/Images/b.png", 200, 48500);
    collect();
    EXPECT_EQ(phone("10.0.0.7").State, TPhoneState::Complete);
    EXPECT_EQ(phone("10.0.0.7").Bytes, 100u + 500 + 1000 + 200000 + 200000 + 48500);
    EXPECT_EQ(reportLines(),
              std::vector<std::string>{"Aparelho 10.0.0.7: importação completa (3 arquivos, 450,0 kB em 4,3 s)."});
    EXPECT_FALSE(collect().Changed) << "nothing happened since";
    EXPECT_TRUE(last.Reports.empty()) << "a completion is reported once";
}

TEST_F(Tracker, AnImportIdleForTenSecondsIsIncompleteWithTheMissingNames)
{
    tracker.SetManifest(manifestOf({"a.png", "b.png", "c.png"}));
    get("10.0.0.8", "/");
    get("10.0.0.8", "/Images/a.png");
    get("10.0.0.8", "/Images/b.png", 404);
    get("10.0.0.8", "/Images/c.png", 200, 100, false);
    clock.advance(PhoneIdleLimit - 1ms);
    collect();
    EXPECT_EQ(phone("10.0.0.8").State, TPhoneState::Importing) << "just under the limit";
    clock.advance(1ms);
    collect();
    const TPhoneSnapshot incomplete = phone("10.0.0.8");
    EXPECT_EQ(incomplete.State, TPhoneState::Incomplete);
    EXPECT_EQ(incomplete.NotFound, 1u);
    EXPECT_EQ(incomplete.MissingCount, 3u);
    EXPECT_EQ(incomplete.Missing, (std::vector<std::string>{"screen.xml", "b.png", "c.png"}));
    EXPECT_EQ(reportLines(), std::vector<std::string>{"Aparelho 10.0.0.8: importação incompleta, faltam 3 arquivos."});
    EXPECT_EQ(PhoneProgressText(incomplete), "1/4");
    EXPECT_EQ(PhoneMissingText(incomplete), "screen.xml\nb.png\nc.png");

    // It comes back and finishes: the import goes on where it stopped.
    for (const char* path : {"/screen.xml", "/Images/b.png", "/Images/c.png"})
        get("10.0.0.8", path);
    collect();
    EXPECT_EQ(phone("10.0.0.8").State, TPhoneState::Complete);
    ASSERT_EQ(last.Reports.size(), 1u);
    EXPECT_EQ(last.Reports[0].Kind, TPhoneReport::TKind::Complete);
}

TEST_F(Tracker, TheMissingNamesStopAtTheirLimitAndSayHowManyMore)
{
    std::vector<std::string> images;
    for (size_t i = 0; i <= MaxMissingNamesShown; ++i)
        images.push_back(std::string("f").append(std::to_string(i)).append(".png"));
    tracker.SetManifest(manifestOf(images));
    get("10.0.0.11", "/");
    get("10.0.0.11", "/screen.xml");
    collect();
    TPhoneSnapshot snapshot = phone("10.0.0.11");
    EXPECT_EQ(snapshot.MissingCount, MaxMissingNamesShown + 1);
    ASSERT_EQ(snapshot.Missing.size(), MaxMissingNamesShown) << "one past the limit";
    EXPECT_EQ(PhoneMissingText(snapshot).substr(PhoneMissingText(snapshot).rfind('\n') + 1), "(mais 1)");
    get("10.0.0.11", "/Images/f0.png");
    collect();
    snapshot = phone("10.0.0.11");
    EXPECT_EQ(snapshot.Missing.size(), MaxMissingNamesShown) << "at the limit";
    EXPECT_EQ(PhoneMissingText(snapshot).find("(mais"), std::string::npos);
    EXPECT_EQ(PhoneProgressText(TPhoneSnapshot{}), "");
}

TEST_F(Tracker, PhonesImportSideBySideAndAHeadRequestMovesNothing)
{
    tracker.SetManifest(manifestOf({"a.png", "b.png"}));
    get("127.0.0.10", "/");
    get("127.0.0.2", "/arquivos.xml");
    get("127.0.0.10", "/Images/a.png");
    get("127.0.0.2", "/Images/b.png");
    get("127.0.0.3", "/", 200, 0, true, "HEAD");
    collect();
    ASSERT_EQ(last.Phones.size(), 2u) << "the HEAD request's client is not a phone";
    EXPECT_EQ(last.Phones[0].Address, "127.0.0.2") << "in numeric order";
    EXPECT_EQ(last.Phones[1].Served, 1u);

    importAll("127.0.0.10");
    collect();
    EXPECT_EQ(phone("127.0.0.10").State, TPhoneState::Complete);
    EXPECT_EQ(phone("127.0.0.2").State, TPhoneState::Importing);
}

TEST_F(Tracker, APhoneImportsTheManifestItFetchedAndANewFetchStartsAgain)
{
    tracker.SetManifest(manifestOf({"a.png"}));
    get("10.0.0.9", "/");
    tracker.SetManifest(manifestOf({"a.png", "novo.png"}));
    get("10.0.0.9", "/screen.xml");
    get("10.0.0.9", "/Images/a.png");
    collect();
    EXPECT_EQ(phone("10.0.0.9").State, TPhoneState::Complete) << "its manifest listed two files";

    get("10.0.0.9", "/");
    get("10.0.0.9", "/screen.xml");
    collect();
    EXPECT_EQ(phone("10.0.0.9").State, TPhoneState::Importing);
    EXPECT_EQ(phone("10.0.0.9").Listed, 3u);
    EXPECT_EQ(phone("10.0.0.9").Served, 1u);
}

TEST_F(Tracker, BeforeAnyPublishAManifestRequestStartsNoImport)
{
    get("10.0.0.10", "/");
    collect();
    EXPECT_EQ(phone("10.0.0.10").State, TPhoneState::Connected);
}

TEST_F(Tracker, AtTheLimitEveryPhoneIsKeptAndOnePastItTheIdlestMakesRoom)
{
    for (size_t i = 0; i < MaxTrackedPhones; ++i) {
        get("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), "/x");
        clock.advance(1ms);
    }
    get("10.1.0.0", "/x");  // the first is active again: the second is now the idlest
    EXPECT_EQ(collect().Phones.size(), MaxTrackedPhones);
    get("10.2.0.0", "/x");
    collect();
    ASSERT_EQ(last.Phones.size(), MaxTrackedPhones);
    for (const TPhoneSnapshot& snapshot : last.Phones)
        EXPECT_NE(snapshot.Address, "10.1.0.1");
    phone("10.1.0.0");
    phone("10.2.0.0");
}

TEST_F(Tracker, ConnectionThreadsRecordWhileTheMainThreadCollects)
{
    tracker.SetManifest(manifestOf({"a.png", "b.png"}));
    std::vector<std::thread> phones;
    for (int p = 1; p <= 4; ++p) {
        phones.emplace_back([this, p] {
            for (int round = 0; round < 200; ++round)
                importAll("127.0.0." + std::to_string(p));
        });
    }
    // A collect reports only what changed since the one before: the last report that changed is
    // the phones' final state, whether it came while they imported or after.
    for (int i = 0; i < 100; ++i)
        if (TPhoneChanges changes = tracker.Collect(); changes.Changed)
            last = changes;
    for (auto& thread : phones)
        thread.join();
    if (TPhoneChanges changes = tracker.Collect(); changes.Changed)
        last = changes;
    ASSERT_EQ(last.Phones.size(), 4u);
    for (const TPhoneSnapshot& snapshot : last.Phones) {
        EXPECT_EQ(snapshot.State, TPhoneState::Complete);
        EXPECT_EQ(snapshot.Bytes, 200u * 4 * 100);
    }
}

}  // namespace
}  // namespace velmora::test
