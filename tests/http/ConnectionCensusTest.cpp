#include "http/IdConnectionCensus.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

// Live connections as "A" (still waiting for its first request line) or "A*" (past it), admitted in
// that order with tickets 1, 2, ...
TIdConnectionCensus censusOf(const std::vector<std::string>& live, int maxConnections, int perClient = 0)
{
    TIdConnectionCensus census;
    census.MaxConnections = maxConnections;
    census.MaxConnectionsPerClient = perClient;
    uint64_t ticket = 0;
    for (const std::string& connection : live) {
        EXPECT_TRUE(census.admit(connection.substr(0, 1), ++ticket).Admitted) << connection;
        if (connection.size() > 1)
            census.requestLineArrived(ticket);
    }
    return census;
}

// Regression: a few addresses holding idle connections up to MaxConnections locked every other
// client out.
TEST(ConnectionCensus, AFullServerTakesInANewcomerInThePlaceOfAnIdleConnectionOfTheLargestOtherAddress)
{
    constexpr std::optional<uint64_t> Refused = 0;
    const struct {
        std::vector<std::string> live;
        const char* newcomer;
        std::optional<uint64_t> closing;  // none: admitted without closing; Refused: refused
    } rows[] = {
        {{"A", "A", "B"}, "C", 1},  // the oldest idle one of the largest address
        {{"A*", "A", "B"}, "C", 2},  // past its request line, a connection keeps its place
        {{"A*", "A*", "B"}, "C", 3},  // a newcomer that holds nothing yet takes any idle place
        {{"A", "B", "A", "B", "C"}, "D", 1},  // of two as large, the one idle the longest gives way
        {{"B", "A", "A", "B", "C"}, "D", 1},
        {{"A", "A", "A", "B*"}, "A", Refused},  // never the newcomer's own address
        {{"A", "A", "A", "B"}, "B", 1},
        {{"A", "A", "B", "B"}, "B", Refused},  // the swap would only move the crowd
        {{"A", "A", "A", "B", "B"}, "B", Refused},
        {{"A", "B", "C", "D"}, "E", 1},
        {{"A", "B", "C", "D*"}, "D", Refused},  // one each: nobody has a place to spare for D
        {{"A", "A", "B*"}, "B", Refused},
        {{"A*", "A*", "A*", "B*"}, "C", Refused},  // every connection busy
    };
    for (const auto& row : rows) {
        std::string what = std::string(row.newcomer) + " into";
        for (const auto& connection : row.live)
            what += " " + connection;
        TIdConnectionCensus census = censusOf(row.live, static_cast<int>(row.live.size()));
        const TIdConnectionCensus::TAdmission admission = census.admit(row.newcomer, 100);
        EXPECT_EQ(admission.Admitted, row.closing != Refused) << what;
        EXPECT_EQ(admission.Closing, admission.Admitted ? row.closing : std::nullopt) << what;
        EXPECT_EQ(census.count(), row.live.size()) << what << ": the one closed no longer counts";
        if (admission.Closing) {
            census.remove(*admission.Closing);
            EXPECT_EQ(census.count(), row.live.size()) << what << ": counted once";
        }
    }
}

TEST(ConnectionCensus, LimitsHoldAtTheLimitAndOnePastIt)
{
    TIdConnectionCensus notFull = censusOf({"A", "A"}, 3, 3);
    EXPECT_EQ(notFull.admit("A", 3).Closing, std::nullopt);
    EXPECT_FALSE(notFull.admit("A", 4).Admitted) << "one past the address's limit";
    EXPECT_TRUE(notFull.admit("B", 5).Admitted) << "into the place of an idle A";
    notFull.remove(1);
    notFull.remove(2);
    EXPECT_EQ(notFull.count(), 2u);
    EXPECT_TRUE(notFull.admit("A", 6).Admitted) << "an address that ended connections is counted down";

    // Crowded past three quarters of MaxConnections.
    for (size_t live = 5; live <= 8; ++live) {
        TIdConnectionCensus census = censusOf(std::vector<std::string>(live, "A"), 8);
        EXPECT_EQ(census.crowded(), live > 6) << live << " of 8";
    }
    EXPECT_FALSE(censusOf({"A", "A"}, 0).crowded()) << "without a limit";
}

}  // namespace
}  // namespace velmora
