#include "operator/PublishSession.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <future>
#include <iostream>
#include <thread>

#include "HttpTestSupport.h"
#include "OperatorTestSupport.h"
#include "base/Stream.h"
#include "operator/OperatorTexts.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// A publisher and its operator's panel on a machine whose default route has 127.0.0.2, so that the
// server's probe and phones on loopback reach it.
class Operator : public testing::Test {
protected:
    Operator() : project(testing::UnitTest::GetInstance()->current_test_info()->name(), images)
    {
        port = reserved.port();
        view.port = std::to_string(port);
        view.chosen = project.screen();
        session = std::make_unique<TPublishSession>(
            view, &view, [] { return std::string("127.0.0.2"); }, [this] { return interfaces; }, clock);
        publisher = &session->Publisher();
        panel = session->Operator();
        session->Start();
    }

    std::string address(const std::string& host) const { return host + ":" + std::to_string(port); }
    const std::vector<std::string>& log()
    {
        for (std::string& line : publisher->Log().Take())
            m_log.push_back(std::move(line));
        return m_log;
    }
    size_t count(const std::string& line) { return static_cast<size_t>(std::count(log().begin(), log().end(), line)); }
    // Runs the main thread's work and the panel's tick until the condition holds (bounded).
    template <class Condition>
    bool tickUntil(Condition condition)
    {
        const auto until = std::chrono::steady_clock::now() + 10s;
        for (;;) {
            publisher->MainThread().ProcessPending();
            panel->Tick();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(5ms);
        }
    }
    bool logged(const std::string& line)
    {
        return tickUntil([&] { return count(line) > 0; });
    }
    void publish()
    {
        publisher->ButtonIniciarClick();
        ASSERT_TRUE(view.errors.empty()) << view.errors.front();
        ASSERT_TRUE(logged(FormatMessage(SServidorAcessivel, {address("127.0.0.2")})));
    }
    // Fetches the manifest and then the files, as the phone app does.
    void importFrom(const std::string& source, const std::vector<std::string>& paths)
    {
        EXPECT_NE(fetchFrom(source, port, "/").find("200 OK"), std::string::npos);
        for (const std::string& path : paths)
            EXPECT_NE(fetchFrom(source, port, path).find("200 OK"), std::string::npos) << path;
    }
    uint64_t projectBytes() const
    {
        return project.size("screen.xml") + project.size("Images/a.png") + project.size("Images/b.png") +
            project.size("Images/c.png");
    }

    const std::vector<TempProject::Image> images = {{"a.png", 600000}, {"b.png", 650000}, {"c.png", 3}};
    const std::vector<std::string> files = {"/screen.xml", "/Images/a.png", "/Images/b.png", "/Images/c.png"};
    TempProject project;
    ReservedPort reserved;
    int port = 0;
    std::vector<TInterfaceAddress> interfaces = {up("lo", "127.0.0.1", false, true), up("eth0", "127.0.0.2", true)};
    ManualClock clock;
    RecordingView view;
    std::unique_ptr<TPublishSession> session;
    TPublishController* publisher = nullptr;
    TOperatorController* panel = nullptr;

private:
    std::vector<std::string> m_log;
};

TEST_F(Operator, APublishChecksTheProjectProbesTheServerAndDrawsTheAddress)
{
    ASSERT_EQ(view.addresses.size(), 2u);
    EXPECT_EQ(view.addresses[view.chosenIndex].Address, "127.0.0.2");
    publish();
    const std::vector<std::string> check = {"Verificação do projeto: 4 arquivos, " + FormatSize(projectBytes()) + "."};
    EXPECT_EQ(view.checkLines, check);
    EXPECT_EQ(count(check[0]), 1u);
    EXPECT_EQ(publisher->ServerAddress(), address("127.0.0.2"));
    EXPECT_EQ(view.reachable, true);
    EXPECT_EQ(view.qrUrl, "http://" + address("127.0.0.2") + "/velmora");
    EXPECT_EQ(view.qr, EncodeQr(view.qrUrl));
    EXPECT_TRUE(view.qrActive);
    const std::vector<std::string>& lines = log();
    EXPECT_LT(std::find(lines.begin(), lines.end(), check[0]), std::find(lines.begin(), lines.end(), "Servidor Ativo!"))
        << "the check comes before the server starts";
}

// Regression: the server's probe of itself was logged as a phone fetching the manifest.
TEST_F(Operator, TheServersProbeOfItselfIsNeitherLoggedNorAPhone)
{
    publish();
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(count("Arquivo /arquivos.xml OK."), 0u);
    EXPECT_TRUE(view.phones.empty());
    // A browser on this machine is a client like any other, whatever it sends in the header.
    rawRequest(port, "GET / HTTP/1.1\r\nX-Velmora-Check: 0123456789abcdef0123456789abcdef\r\n\r\n", "127.0.0.2");
    EXPECT_TRUE(logged("Arquivo /arquivos.xml OK."));
    ASSERT_TRUE(tickUntil([&] { return view.phones.size() == 1; }));
    EXPECT_EQ(view.phones[0].Address, "127.0.0.2");
}

TEST_F(Operator, AProjectWithProblemsWarnsAndIsServedAnyway)
{
    fs::rename(project.folder() / "Images/b.png", project.folder() / "Images/B.png");
    fs::remove(project.folder() / "Images/c.png");
    publish();
    EXPECT_EQ(view.checkLines,
              (std::vector<std::string>{"Verificação do projeto: 4 arquivos, " +
                                            FormatSize(project.size("screen.xml") + 600000 + 650000) + ".",
                                        "Diferença de maiúsculas: b.png (no disco: B.png)", "Arquivo ausente: c.png"}));
    EXPECT_TRUE(publisher->IdHTTPServer1().Active());
}

TEST_F(Operator, PhonesOnTwoAddressesImportSideBySideAndAnIdleOneIsIncomplete)
{
    publish();
    std::thread first([&] { importFrom("127.0.0.1", files); });
    std::thread second([&] { importFrom("127.0.0.2", files); });
    first.join();
    second.join();
    importFrom("127.0.0.3", {"/Images/a.png"});
    EXPECT_NE(fetchFrom("127.0.0.3", port, "/Images/nada.png").find("404"), std::string::npos);

    const uint64_t imported = ReadWholeFile(project.manifest()).size() + projectBytes();
    for (const char* phone : {"127.0.0.1", "127.0.0.2"})
        EXPECT_TRUE(logged("Aparelho " + std::string(phone) + ": importação completa (4 arquivos, " +
                           FormatSize(imported) + " em 0,0 s)."));
    clock.advance(PhoneIdleLimit);
    EXPECT_TRUE(logged("Aparelho 127.0.0.3: importação incompleta, faltam 3 arquivos."));
    ASSERT_EQ(view.phones.size(), 3u);
    EXPECT_EQ(view.phones[0].State, TPhoneState::Complete);
    EXPECT_EQ(view.phones[1].State, TPhoneState::Complete);
    EXPECT_EQ(view.phones[2].State, TPhoneState::Incomplete);
    EXPECT_EQ(view.phones[2].NotFound, 1u);
    EXPECT_EQ(view.phones[2].Missing, (std::vector<std::string>{"screen.xml", "b.png", "c.png"}));
}

TEST_F(Operator, AMovedAddressIsFollowedIntoTheManifestTheLabelAndTheQrCode)
{
    publish();
    interfaces[1].Address = "127.0.0.5";
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.5")})));
    EXPECT_EQ(view.shownAddresses.back(), address("127.0.0.5"));
    EXPECT_EQ(view.qrUrl, "http://" + address("127.0.0.5") + "/velmora");
    const std::string manifest = ReadWholeFile(project.manifest());
    EXPECT_NE(manifest.find("http://" + address("127.0.0.5") + "/Images/a.png"), std::string::npos);
    EXPECT_EQ(*publisher->State().PageTemplate.get(), manifest);
    EXPECT_TRUE(logged(FormatMessage(SServidorAcessivel, {address("127.0.0.5")})));
}

TEST_F(Operator, TheOperatorsChoiceHoldsWhileItIsOnTheMachine)
{
    interfaces.push_back(up("wlan0", "127.0.0.6"));
    publish();
    EXPECT_FALSE(panel->ChooseAddress("10.9.9.9"));
    EXPECT_EQ(publisher->ServerAddress(), address("127.0.0.2")) << "a refused choice changes nothing";

    ASSERT_TRUE(panel->ChooseAddress("127.0.0.6"));
    EXPECT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.6")})));
    EXPECT_NE(ReadWholeFile(project.manifest()).find("http://" + address("127.0.0.6") + "/"), std::string::npos);
    EXPECT_EQ(view.addresses[view.chosenIndex].Address, "127.0.0.6");

    interfaces.pop_back();
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.6"), address("127.0.0.2")})));
    interfaces.push_back(up("wlan0", "127.0.0.6"));
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.6")})))
        << "back on the machine, the operator's choice is used again";
}

TEST_F(Operator, WithoutAnyAddressTheWatchsOwnReportStandsAndTheNextAddressIsFollowed)
{
    publish();
    interfaces = {up("lo", "127.0.0.1", false, true)};
    clock.advance(AddressPollInterval);
    ASSERT_TRUE(tickUntil([&] { return view.chosenIndex == -1; }));
    EXPECT_EQ(publisher->ServerAddress(), address("127.0.0.2")) << "nothing replaced the address";
    interfaces.push_back(up("eth0", "127.0.0.7", true));
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.7")})));
}

TEST_F(Operator, ASaveOfTheProjectPublishesAgainWithoutTheDialog)
{
    publish();
    view.chosen.reset();
    project.WriteImage({"d.png", 5});
    project.WriteScreen({{"a.png", 0}, {"b.png", 0}, {"c.png", 0}, {"d.png", 0}});
    ASSERT_TRUE(tickUntil([&] { return count("Projeto atualizado: 5 arquivos.") == 0; }));
    clock.advance(SaveQuietTime);
    EXPECT_TRUE(logged("Projeto atualizado: 5 arquivos."));
    EXPECT_EQ(count("Servidor Ativo!"), 2u);
    EXPECT_NE(ReadWholeFile(project.manifest()).find("d.png"), std::string::npos);

    // A listed image saved publishes again too.
    project.WriteImage({"a.png", 7});
    ASSERT_TRUE(tickUntil([] { return true; }));
    clock.advance(SaveQuietTime);
    EXPECT_TRUE(tickUntil([&] { return count("Projeto atualizado: 5 arquivos.") == 2; }));
}

TEST_F(Operator, AFailedRepublishIsLoggedAndLeavesThePublicationAsItWas)
{
    publish();
    const std::string manifest = ReadWholeFile(project.manifest());
    project.Write("screen.xml", "<SCREEN><MENUS>");
    ASSERT_TRUE(tickUntil([] { return true; }));
    clock.advance(SaveQuietTime);
    ASSERT_TRUE(tickUntil([&] {
        return std::any_of(log().begin(), log().end(),
                           [](const std::string& line) { return line.rfind("Falha ao republicar: ", 0) == 0; });
    }));
    EXPECT_EQ(*publisher->State().PageTemplate.get(), manifest);
    EXPECT_EQ(ReadWholeFile(project.manifest()), manifest);
    EXPECT_NE(fetchFrom("127.0.0.1", port, "/").find(manifest), std::string::npos);

    // The address moving afterwards rewrites the manifest of the running publication, not of the
    // file that failed.
    interfaces[1].Address = "127.0.0.5";
    clock.advance(AddressPollInterval);
    ASSERT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.5")})));
    EXPECT_NE(ReadWholeFile(project.manifest()).find("Images/c.png"), std::string::npos);
}

TEST_F(Operator, WithRepublishingOffASaveChangesNothing)
{
    panel->SetRepublishOnSave(false);
    publish();
    project.WriteImage({"a.png", 9});
    ASSERT_TRUE(tickUntil([] { return true; }));
    clock.advance(5 * SaveQuietTime);
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(count("Servidor Ativo!"), 1u);
    panel->SetRepublishOnSave(true);
    project.WriteImage({"a.png", 10});
    ASSERT_TRUE(tickUntil([] { return true; }));
    clock.advance(SaveQuietTime);
    EXPECT_TRUE(logged("Projeto atualizado: 4 arquivos."));
}

TEST_F(Operator, NoOtherMachineWithinAMinuteGivesTheHintOnceUntilOneArrives)
{
    publish();
    clock.advance(NoPhoneHintDelay - 1s);
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(view.hintCalls, 0);
    clock.advance(1s);
    const std::vector<std::string> hint = NoPhoneHintLines(port, address("127.0.0.2"), view.qrUrl);
    ASSERT_TRUE(tickUntil([&] { return view.hintCalls == 1; }));
    EXPECT_EQ(view.hint, hint);
    EXPECT_EQ(hint[1],
              "- primeiro, leia o código QR com a câmera do iPhone (ou abra " + view.qrUrl +
                  " no Safari): se a página não abrir, a causa é a rede (firewall, rede de convidados, "
                  "isolamento de clientes), não o iVelmora;");
    EXPECT_EQ(hint[3],
              "- o firewall deixa passar a porta " + std::to_string(port) + ": sudo ufw allow " + std::to_string(port) +
                  "/tcp ou sudo firewall-cmd --add-port=" + std::to_string(port) + "/tcp;");
    for (const std::string& line : hint)
        EXPECT_EQ(count(line), 1u) << line;
    clock.advance(NoPhoneHintDelay);
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(view.hintCalls, 1) << "once";

    fetchFrom("127.0.0.1", port, "/");
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(view.hintCalls, 1) << "this machine's own requests prove nothing";
    fetchFrom("127.0.0.9", port, "/");
    ASSERT_TRUE(tickUntil([&] { return view.hintCalls == 2; }));
    EXPECT_TRUE(view.hint.empty());
}

// Regression: once the address moved, a request that had come from the old one counted as another
// machine's, and the hint never came.
TEST_F(Operator, ARequestFromAnAddressThisMachineHadStillCountsAsItsOwn)
{
    publish();
    fetchFrom("127.0.0.2", port, "/");
    interfaces[1].Address = "127.0.0.5";
    clock.advance(AddressPollInterval);
    ASSERT_TRUE(logged(FormatMessage(SEnderecoMudou, {address("127.0.0.2"), address("127.0.0.5")})));
    clock.advance(NoPhoneHintDelay);
    EXPECT_TRUE(tickUntil([&] { return view.hintCalls == 1; }));
    EXPECT_EQ(view.hint, NoPhoneHintLines(port, address("127.0.0.5"), view.qrUrl));
}

TEST_F(Operator, ARequestFromAnotherMachineInTimeMeansNoHint)
{
    publish();
    fetchFrom("127.0.0.9", port, "/Images/a.png");
    ASSERT_TRUE(tickUntil([&] { return !view.phones.empty(); }));
    clock.advance(NoPhoneHintDelay);
    ASSERT_TRUE(tickUntil([] { return true; }));
    EXPECT_EQ(view.hintCalls, 0);
}

TEST_F(Operator, APortHeldByAnotherCopyIsNamedWithTheNextFreePort)
{
    auto other = startAnotherCopy(port);
    publisher->ButtonIniciarClick();
    EXPECT_EQ(view.errors, std::vector<std::string>{"Ja existe um programa da Velmora aberto no computador."});
    panel->Shutdown();
    std::string name;
    std::getline(std::ifstream("/proc/self/comm"), name);
    EXPECT_EQ(count("A porta " + std::to_string(port) + " está em uso por outra cópia deste programa (" + name +
                    ", processo " + std::to_string(::getpid()) + ")."),
              1u);
    EXPECT_TRUE(std::any_of(log().begin(), log().end(),
                            [](const std::string& line) { return line.rfind("Próxima porta livre: ", 0) == 0; }));
    other->SetActive(false);
}

// Regression: a connection thread that never ended (one held in the open of a FIFO, say) held the
// exit for ever. Now it is reported, and the process ends with status 0 without freeing anything that
// thread could still touch; the sanitizers would see anything freed under it.
TEST_F(Operator, AConnectionThreadThatOutlivesTheExitIsReportedAndTheProcessEndsWithStatusZero)
{
    std::promise<void> entered, never;
    auto exitWhileAThreadHangs = [&] {
        TIdHTTPServer& server = publisher->IdHTTPServer1();
        server.OnCommandGet = [&, route = server.OnCommandGet](TIdPeerThread& thread, TIdHTTPRequestInfo& request,
                                                               TIdHTTPResponseInfo& response) {
            if (request.Path == "/hang") {
                entered.set_value();
                never.get_future().wait();
            }
            route(thread, request, response);
        };
        publish();
        std::thread([this] { fetchFrom("127.0.0.3", port, "/hang"); }).detach();
        entered.get_future().wait();
        session->ExitTime = ExitLogFlushTime + 200ms;
        session->Shutdown();
        session->ExitIfThreadsOutlived(0, [this] {
            for (const std::string& line : log())
                std::cerr << line << '\n';
        });
        std::_Exit(3);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhileAThreadHangs(), testing::ExitedWithCode(0), "Conexões que não terminaram a tempo: 1;");
}

}  // namespace
}  // namespace velmora::test
