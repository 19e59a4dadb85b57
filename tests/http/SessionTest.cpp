#include "HttpTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

TEST(SessionId, FifteenCharactersOfTheAlphabetNeverItsFinalZero)
{
    const std::string allowed = std::string(IdSessionIdAlphabet).substr(0, 61);
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        std::string id = TIdHTTPDefaultSessionList::MakeSessionID(TIdRandomSource::system());
        ASSERT_EQ(id.size(), 15u);
        EXPECT_EQ(id.find_first_not_of(allowed), std::string::npos) << id;
        EXPECT_EQ(id.find('0'), std::string::npos) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 2000u);
    test::CountingRandom counting;
    EXPECT_EQ(TIdHTTPDefaultSessionList::MakeSessionID(counting), "qwertzuiopasdfg");
}

class Sessions : public ::testing::Test {
protected:
    Sessions() : list(clock, random)
    {
        list.SessionTimeout = 600000;
        list.OnSessionStart = [this](TIdHTTPSession& session) { started.push_back(session.SessionId()); };
        list.OnSessionEnd = [this](TIdHTTPSession& session) { ended.push_back(session.SessionId()); };
    }
    test::ManualClock clock;
    test::CountingRandom random;
    std::vector<std::string> started, ended;  // outlive the list, whose end ends every session
    TIdHTTPDefaultSessionList list;
};

TEST_F(Sessions, AreFoundByIdentifierInAnyCaseButNotFromAnotherAddress)
{
    auto session = list.StartUniqueSession("10.0.0.2");
    EXPECT_EQ(started, std::vector<std::string>{session->SessionId()});
    EXPECT_EQ(list.FindSession(session->SessionId(), "10.0.0.2"), session);
    EXPECT_EQ(list.FindSession(UpperCase(session->SessionId()), "10.0.0.2"), session);
    EXPECT_EQ(list.FindSession(LowerCase(session->SessionId()), ""), session);
    EXPECT_EQ(list.FindSession(session->SessionId(), "10.0.0.3"), nullptr);
    EXPECT_EQ(list.FindSession("nosuchsession00", "10.0.0.2"), nullptr);
}

TEST_F(Sessions, EndAfterTheTimeOutAndEachUseKeepsThemAlive)
{
    auto idle = list.StartUniqueSession("a");
    auto used = list.StartUniqueSession("a");
    clock.advance(500s);
    list.FindSession(used->SessionId(), "a");
    clock.advance(100s);
    list.EndIdleSessions(false);
    EXPECT_TRUE(ended.empty());  // 600 s exactly is not longer than the time-out
    clock.advance(1ms);
    list.EndIdleSessions(false);
    EXPECT_EQ(ended, std::vector<std::string>{idle->SessionId()});
    EXPECT_EQ(list.FindSession(idle->SessionId(), "a"), nullptr);
    EXPECT_TRUE(idle->IsSessionStale(clock.now()) || idle->Owner() == nullptr);
    clock.advance(501s);
    list.EndIdleSessions(false);
    EXPECT_EQ(ended.size(), 2u);
    EXPECT_EQ(list.count(), 0u);
}

TEST_F(Sessions, EndingAllRunsTheEndHookOnceForEachAndAHolderKeepsItsSession)
{
    std::vector<std::shared_ptr<TIdHTTPSession>> held;
    for (int i = 0; i < 5; ++i)
        held.push_back(list.StartUniqueSession("a"));
    held[0]->SessionData.add("Talvo", std::make_shared<int>(7));
    list.EndAllSessions();
    list.EndAllSessions();
    EXPECT_EQ(ended.size(), 5u);
    EXPECT_EQ(held[0]->SessionData.count(), 0u);
    EXPECT_EQ(held[0]->SessionId().size(), 15u);
    held[1]->EndSession();
    EXPECT_EQ(ended.size(), 5u);
}

TEST_F(Sessions, AFailingStartHookUndoesTheSessionAndEndsItOnce)
{
    list.OnSessionStart = [](TIdHTTPSession&) { throw Exception("no engine"); };
    EXPECT_THROW(list.StartUniqueSession("a"), Exception);
    EXPECT_EQ(ended.size(), 1u);
    EXPECT_EQ(list.count(), 0u);
}

TEST_F(Sessions, SessionDataFindsTypedObjectsByName)
{
    auto session = list.StartUniqueSession("a");
    auto engine = std::make_shared<std::string>("engine");
    session->SessionData.add("Talvo", engine);
    auto* found = session->SessionData.find<std::shared_ptr<std::string>>("Talvo");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(**found, "engine");
    EXPECT_EQ(session->SessionData.find<std::shared_ptr<int>>("Talvo"), nullptr);
    EXPECT_EQ(session->SessionData.find<std::shared_ptr<std::string>>("talvo"), nullptr);
}

TEST_F(Sessions, TheLimitOfLiveSessionsIsKeptAndOneMoreEndsTheLeastRecentlyUsed)
{
    std::vector<std::string> evicted;
    TIdHTTPDefaultSessionList many(clock);
    many.SessionTimeout = 600000;
    many.OnSessionEnd = [&](TIdHTTPSession& session) { evicted.push_back(session.SessionId()); };
    std::vector<std::shared_ptr<TIdHTTPSession>> sessions;
    for (size_t i = 0; i < IdMaxSessions; ++i)
        sessions.push_back(many.StartUniqueSession("a"));
    // Found again in reverse, which leaves the first one started the most recently used.
    for (auto session = sessions.rbegin(); session != sessions.rend(); ++session)
        ASSERT_EQ(many.FindSession((*session)->SessionId(), "a"), *session);
    EXPECT_EQ(many.count(), IdMaxSessions);
    EXPECT_TRUE(evicted.empty());

    auto oneMore = many.StartUniqueSession("a");
    EXPECT_EQ(many.count(), IdMaxSessions);
    EXPECT_EQ(evicted, std::vector<std::string>{sessions.back()->SessionId()});
    EXPECT_EQ(many.FindSession(sessions.back()->SessionId(), "a"), nullptr);
    EXPECT_EQ(many.FindSession(sessions.front()->SessionId(), "a"), sessions.front());
    EXPECT_EQ(many.FindSession(oneMore->SessionId(), "a"), oneMore);
}

// Regression: a flood of cookie-less requests from one address ended the conversations of every
// other address, the least recently used first.
TEST_F(Sessions, AFullListEndsTheLeastRecentlyUsedSessionOfTheAddressThatHoldsTheMost)
{
    const struct {
        std::vector<std::string> started;  // addresses, in order of start
        std::vector<size_t> used;  // sessions used again afterwards, in order
        const char* newcomer;
        size_t ended;
    } rows[] = {
        {{"B", "A", "A", "A"}, {}, "A", 1},  // the flooding address ends its own
        {{"B", "A", "A", "A"}, {}, "C", 1},
        {{"A", "B", "A", "C"}, {0}, "D", 2},
        {{"A", "B", "C", "D"}, {}, "E", 0},  // one each: the least recently used of all
        {{"A", "B", "C", "D"}, {0, 2}, "E", 1},
        {{"B", "A", "A", "B"}, {0}, "A", 1},  // as many: the least recently used of their sessions
    };
    for (const auto& row : rows) {
        std::vector<std::string> endedHere;
        TIdHTTPDefaultSessionList four(clock, random);
        four.MaxSessions = 4;
        four.OnSessionEnd = [&](TIdHTTPSession& session) { endedHere.push_back(session.SessionId()); };
        std::vector<std::shared_ptr<TIdHTTPSession>> sessions;
        for (const std::string& address : row.started)
            sessions.push_back(four.StartUniqueSession(address));
        for (size_t used : row.used)
            four.FindSession(sessions[used]->SessionId(), row.started[used]);
        four.StartUniqueSession(row.newcomer);
        EXPECT_EQ(endedHere, std::vector<std::string>{sessions[row.ended]->SessionId()})
            << row.newcomer << " after " << testing::PrintToString(row.started);
        EXPECT_EQ(four.count(), 4u);
    }
}

TEST_F(Sessions, AnAddedSessionBeyondTheLimitEndsTheLeastRecentlyUsedThroughTheEndHook)
{
    list.MaxSessions = 2;
    auto first = list.StartUniqueSession("a");
    auto second = list.StartUniqueSession("a");
    list.FindSession(first->SessionId(), "a");
    list.AddSession(std::make_shared<TIdHTTPSession>(&list, "addedsession000", "a", clock.now()));
    EXPECT_EQ(ended, std::vector<std::string>{second->SessionId()});
    EXPECT_EQ(list.count(), 2u);
}

TEST_F(Sessions, SessionsThatEndTogetherEndFromTheLastToTheFirst)
{
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(list.StartUniqueSession("a")->SessionId());
    clock.advance(601s);
    list.EndIdleSessions(false);
    EXPECT_EQ(ended, (std::vector<std::string>{ids[2], ids[1], ids[0]}));
    ended.clear();
    for (int i = 0; i < 3; ++i)
        ids[static_cast<size_t>(i)] = list.StartUniqueSession("a")->SessionId();
    list.FindSession(ids[0], "a");
    list.EndAllSessions();
    EXPECT_EQ(ended, (std::vector<std::string>{ids[0], ids[2], ids[1]}));
}

// Regression: an end hook that failed left the sessions after it unended and their data in place.
TEST_F(Sessions, AFailingEndHookStillEndsEverySession)
{
    std::vector<std::shared_ptr<TIdHTTPSession>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(list.StartUniqueSession("a"));
        held.back()->SessionData.add("Talvo", std::make_shared<int>(i));
    }
    list.OnSessionEnd = [this](TIdHTTPSession& session) {
        ended.push_back(session.SessionId());
        throw Exception("end hook failed");
    };
    list.EndAllSessions();
    EXPECT_EQ(ended.size(), 3u);
    for (const auto& session : held) {
        EXPECT_EQ(session->SessionData.count(), 0u);
        EXPECT_EQ(session->Owner(), nullptr);
    }
    auto direct = list.StartUniqueSession("a");
    EXPECT_THROW(direct->EndSession(), Exception);
    EXPECT_EQ(list.count(), 0u);
}

// Regression: the list cleared a session's data without the session's own lock while a handler
// read it under that lock.
TEST_F(Sessions, AnEndingSessionsDataIsClearedUnderItsOwnLock)
{
    auto session = list.StartUniqueSession("a");
    session->SessionData.add("Talvo", std::make_shared<int>(1));
    std::atomic<bool> hookRan{false}, endDone{false};
    list.OnSessionEnd = [&](TIdHTTPSession&) { hookRan = true; };
    std::unique_lock handler(session->SessionDataMutex);
    std::thread ending([&] {
        list.EndAllSessions();
        endDone = true;
    });
    // The end hook runs; the clearing then waits for the handler's lock.
    for (int i = 0; i < 5000 && !hookRan; ++i)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(endDone);
    EXPECT_EQ(session->SessionData.count(), 1u);
    handler.unlock();
    ending.join();
    EXPECT_EQ(session->SessionData.count(), 0u);
}

class ServerSessions : public ::testing::Test {
protected:
    ServerSessions()
    {
        server.setClock(clock);
        server.setRandomSource(random);
        server.SetSessionState(true);
        server.AutoStartSession = true;
        server.SessionTimeOut = 600000;
        server.ServerSoftware = "Talvo Web";
        server.OnSessionStart = [this](TIdHTTPSession& session) {
            session.SessionData.add("Talvo", std::make_shared<int>(1));
            ++starts;
        };
        server.OnCommandGet = [this](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
            handlerSawData = request.Session && request.Session->SessionData.count() == 1;
            lastSession = request.Session;
            response.BodyText = "ok";
        };
        // The session step runs in the request loop; the list's hooks are set at activation.
        server.SessionList().SessionTimeout = server.SessionTimeOut;
        server.SessionList().OnSessionStart = server.OnSessionStart;
    }
    test::Exchange get(const std::string& cookie = "", const std::string& peer = "127.0.0.1")
    {
        std::string request = "GET / HTTP/1.1\r\n";
        if (!cookie.empty())
            request += "Cookie: " + cookie + "\r\n";
        return test::runRequest(server, request + "\r\n", 0, peer);
    }
    test::ManualClock clock;
    test::CountingRandom random;
    TIdHTTPServer server;
    int starts = 0;
    bool handlerSawData = false;
    std::shared_ptr<TIdHTTPSession> lastSession;
};

TEST_F(ServerSessions, ARequestWithoutCookieStartsASessionAndGetsItsCookie)
{
    auto first = get();
    EXPECT_EQ(first.output,
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
              "Server: Talvo Web\r\nSet-Cookie: IDHTTPSESSIONID=qwertzuiopasdfg; path=/\r\n\r\nok");
    EXPECT_TRUE(handlerSawData);
    EXPECT_EQ(starts, 1);

    auto again = get("IDHTTPSESSIONID=QWERTZUIOPASDFG");
    EXPECT_EQ(again.output.find("Set-Cookie"), std::string::npos);
    EXPECT_EQ(lastSession->SessionId(), "qwertzuiopasdfg");
    EXPECT_EQ(starts, 1);

    get("other=1; idhttpsessionid=qwertzuiopasdfg", "10.9.9.9");
    EXPECT_EQ(starts, 2);
    EXPECT_NE(lastSession->SessionId(), "qwertzuiopasdfg");
}

TEST_F(ServerSessions, AnInvalidSessionMayStopTheHandler)
{
    std::string invalid;
    server.OnInvalidSession = [&](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo& response, bool& go,
                                  const std::string& id) {
        invalid = id;
        go = false;
        response.SetStatusCode(403);
    };
    auto result = get("IDHTTPSESSIONID=gone");
    EXPECT_EQ(invalid, "gone");
    EXPECT_EQ(lastSession, nullptr);
    EXPECT_EQ(result.output.substr(0, 22), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(starts, 0);
}

TEST_F(ServerSessions, AZeroTimeOutSwitchesSessionsOffAtActivation)
{
    server.SessionTimeOut = 0;
    server.SetDefaultPort(0);
    server.Bindings().add().IP = "127.0.0.1";
    server.SetActive(true);
    EXPECT_FALSE(server.SessionState());
    server.SetActive(false);
    EXPECT_EQ(get().output.find("Set-Cookie"), std::string::npos);
    EXPECT_EQ(starts, 0);
}

TEST_F(ServerSessions, SessionStateCannotChangeWhileActive)
{
    server.SetDefaultPort(0);
    server.Bindings().add().IP = "127.0.0.1";
    server.SetActive(true);
    try {
        server.SetSessionState(false);
        FAIL();
    } catch (const EIdHTTPCannotSwitchSessionStateWhenActive& error) {
        EXPECT_EQ(error.Message(), "Cannot change session state when the server is active.");
    }
    server.SetActive(false);
}

}  // namespace
}  // namespace velmora
