#include "publish/PublishController.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "Projects.h"
#include "RecordingView.h"
#include "SystemTexts.h"
#include "HttpTestSupport.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Chooses the address the test sets and keeps the steps it hears of, each with what the publisher
// shows at that moment.
class ScriptedListener : public IPublishListener {
public:
    TPublishController* publisher = nullptr;
    std::optional<std::string> chosen;
    std::vector<std::string> calls;
    std::optional<int> failedPort;

    std::optional<std::string> AddressToCompose() override { return chosen; }
    void AddressesComposed() override
    {
        if (publisher)
            calls.push_back("composed " + publisher->ServerAddress());
    }
    void BeforeServerStart() override
    {
        calls.push_back(publisher && publisher->IdHTTPServer1().Active() ? "before, active" : "before");
    }
    void Published() override { calls.push_back("published"); }
    void ServerStartFailed(int port, const std::exception&) override { failedPort = port; }
    void ConnectionPageOpened(const std::string&) override {}
    void RequestDone(const TIdHTTPRequestInfo&, const TIdHTTPResponseInfo&, bool) override {}
};

class Publish : public testing::Test {
protected:
    void SetUp() override
    {
        project = makeProject(testing::UnitTest::GetInstance()->current_test_info()->name());
        port = reserved.port();
        view.port = std::to_string(port);
        view.chosen = (project / "screen.xml").string();
    }
    void TearDown() override
    {
        controller.reset();
        fs::remove_all(project);
    }
    TPublishController& publisher()
    {
        if (!controller)
            controller = startController(
                view, [this] { return localAddress; }, &listener);
        return *controller;
    }
    std::string manifestPath() const { return (project / "arquivos.xml").string(); }
    std::string body(const std::string& target) const
    {
        std::string raw = rawRequest(port, "GET " + target + " HTTP/1.1\r\n\r\n");
        size_t end = raw.find("\r\n\r\n");
        return end == std::string::npos ? "" : raw.substr(end + 4);
    }

    fs::path project;
    ReservedPort reserved;
    int port = 0;
    std::string localAddress = "192.168.7.7";
    RecordingView view;
    ScriptedListener listener;
    std::unique_ptr<TPublishController> controller;
};

TEST_F(Publish, APublishWritesTheManifestWithTheListeningPortAndStartsTheServer)
{
    publisher().ButtonIniciarClick();
    ASSERT_TRUE(view.errors.empty()) << view.errors.front();
    const std::string address = "192.168.7.7:" + std::to_string(port);
    EXPECT_EQ(publisher().ServerAddress(), address);
    EXPECT_EQ(publisher().ImagesUrl(), "http://" + address + "/Images/");
    EXPECT_EQ(view.shownAddresses, std::vector<std::string>{address});
    EXPECT_TRUE(view.active);
    EXPECT_EQ(view.log(), std::vector<std::string>{"Servidor Ativo!"});
    EXPECT_EQ(*publisher().State().ProjectFolder.get(), (project / "").string());

    const std::string manifest = ReadWholeFile(manifestPath());
    EXPECT_EQ(*publisher().State().PageTemplate.get(), manifest);
    EXPECT_NE(manifest.find("arquivo_nome=\"luz.png\" arquivo_caminho=\"http://" + address + "/Images/luz.png\""),
              std::string::npos);
    EXPECT_EQ(body("/"), manifest);
    EXPECT_EQ(body("/screen.xml"), ReadWholeFile((project / "screen.xml").string()));
}

TEST_F(Publish, ARepublishKeepsTheFirstPortAndLogsAgain)
{
    publisher().ButtonIniciarClick();
    ReservedPort another;
    view.port = std::to_string(another.port());
    view.chosen = (project / "other.xml").string();
    publisher().ButtonIniciarClick();
    ASSERT_TRUE(view.errors.empty()) << view.errors.front();
    EXPECT_EQ(publisher().IdHTTPServer1().Bindings()[0].Port, port);
    EXPECT_EQ(publisher().ServerAddress(), "192.168.7.7:" + std::to_string(port));
    EXPECT_NE(ReadWholeFile(manifestPath()).find("quarto.png"), std::string::npos);
    EXPECT_EQ(view.log(), (std::vector<std::string>{"Servidor Ativo!", "Servidor Ativo!"}));
}

TEST_F(Publish, WithoutANetworkAddressTheManifestListsBareNames)
{
    localAddress = "127.0.0.1";
    publisher().ButtonIniciarClick();
    EXPECT_EQ(publisher().ServerAddress(), "");
    EXPECT_EQ(view.shownAddresses, std::vector<std::string>{""});
    EXPECT_NE(ReadWholeFile(manifestPath()).find("arquivo_caminho=\"screen.xml\""), std::string::npos);
}

// Each failure shows its text and leaves the manifest, the template and the server as they were.
TEST_F(Publish, EveryFailureIsShownAndLeavesThePublishedStateAlone)
{
    const std::string dir = project.string();
    const struct {
        const char* what;
        std::string port;
        std::string screen;
        std::string shown;
    } rows[] = {
        {"port text", "abc", "screen.xml", "'abc' is not a valid integer value."},
        {"trailing blank", "8100 ", "screen.xml", "'8100 ' is not a valid integer value."},
        {"port 0", "0", "screen.xml", "Porta inválida: 0 (use um número de 1 a 65535)."},
        {"port 70000", "70000", "screen.xml", "Porta inválida: 70000 (use um número de 1 a 65535)."},
        {"missing file", "", "missing.xml", "Não foi possível ler o arquivo: "},
        {"malformed file", "", "malformed.xml", "Não foi possível ler o arquivo: "},
        {"integer attribute", "", "bad-integer.xml", "'12a' is not a valid integer value."},
    };
    for (const auto& row : rows) {
        RecordingView rowView;
        rowView.port = row.port.empty() ? std::to_string(port) : row.port;
        rowView.chosen = dir + "/" + row.screen;
        auto started = startController(rowView, [] { return std::string("192.168.7.7"); });
        TPublishController& rowController = *started;
        rowController.ButtonIniciarClick();
        ASSERT_EQ(rowView.errors.size(), 1u) << row.what;
        EXPECT_EQ(rowView.errors[0].substr(0, row.shown.size()), row.shown) << row.what;
        EXPECT_FALSE(fs::exists(manifestPath())) << row.what;
        EXPECT_FALSE(rowController.IdHTTPServer1().Active()) << row.what;
        EXPECT_EQ(*rowController.State().ProjectFolder.get(), "") << row.what;
        EXPECT_TRUE(rowView.addresses.empty() && rowView.log().empty()) << row.what;
    }
}

TEST_F(Publish, TheReaderErrorLineNamesTheFileAndThePlace)
{
    view.chosen = (project / "malformed.xml").string();
    publisher().ButtonIniciarClick();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_NE(view.errors[0].find("File: " + project.generic_string() + "/malformed.xml. Line: 1"), std::string::npos)
        << view.errors[0];
}

TEST_F(Publish, ALeadingBlankInThePortIsAcceptedAndACancelledChoiceDoesNothing)
{
    view.port = " " + std::to_string(port);
    view.chosen.reset();
    publisher().ButtonIniciarClick();
    EXPECT_TRUE(view.errors.empty());
    EXPECT_FALSE(fs::exists(manifestPath()));
    view.chosen = (project / "screen.xml").string();
    publisher().ButtonIniciarClick();
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(publisher().IdHTTPServer1().Bindings()[0].Port, port);
}

TEST_F(Publish, AManifestThatCannotBeCreatedLeavesTheServerAndTheFolderAlone)
{
    fs::create_directory(project / "arquivos.xml");
    publisher().ButtonIniciarClick();
    ASSERT_EQ(view.errors.size(), 1u);
    // The report ends in one full stop, whether the system's text has its own or not.
    std::string reason = FolderInTheWayReason();
    if (reason.back() != '.')
        reason += '.';
    EXPECT_EQ(view.errors[0], "Cannot create file \"" + manifestPath() + "\". " + reason);
    EXPECT_FALSE(publisher().ScreenMenus().empty()) << "the model was loaded";
    EXPECT_EQ(*publisher().State().ProjectFolder.get(), "");
    EXPECT_FALSE(publisher().IdHTTPServer1().Active());
}

TEST_F(Publish, APortInUseLeavesTheServerInactiveAndTheLampRed)
{
    TIdHTTPServer other;
    other.SetDefaultPort(port);
    other.SetActive(true);
    publisher().ButtonIniciarClick();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "Ja existe um programa da Velmora aberto no computador.");
    EXPECT_FALSE(publisher().IdHTTPServer1().Active());
    EXPECT_FALSE(view.active);
    EXPECT_TRUE(view.log().empty());
    EXPECT_EQ(view.shownAddresses.size(), 1u) << "the address was already shown";
    other.SetActive(false);

    publisher().ButtonIniciarClick();
    EXPECT_TRUE(publisher().IdHTTPServer1().Active());
}

// A phone downloading the manifest while it is republished gets the old one or the new one whole.
TEST_F(Publish, ARepublishWhileClientsDownloadNeverYieldsAShortOrMixedManifest)
{
    publisher().ButtonIniciarClick();
    const std::string first = ReadWholeFile(manifestPath());
    view.chosen = (project / "other.xml").string();
    publisher().ButtonIniciarClick();
    const std::string second = ReadWholeFile(manifestPath());
    ASSERT_NE(first, second);

    std::atomic<bool> done{false};
    std::atomic<int> fetched{0}, wrong{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 3; ++c) {
        clients.emplace_back([&] {
            while (!done) {
                std::string got = body("/");
                ++fetched;
                if (got != first && got != second)
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 40; ++i) {
        view.chosen = (project / (i % 2 ? "other.xml" : "screen.xml")).string();
        publisher().ButtonIniciarClick();
    }
    done = true;
    for (auto& client : clients)
        client.join();
    EXPECT_TRUE(view.errors.empty());
    EXPECT_GT(fetched, 0);
    EXPECT_EQ(wrong, 0);
}

// Regression: a screen file chosen by a relative name gave an empty folder, and the manifest went
// to "/arquivos.xml".
TEST_F(Publish, AScreenFileChosenByARelativeNameServesItsOwnFolder)
{
    const fs::path relative = fs::relative(project / "screen.xml");
    if (relative.empty())
        GTEST_SKIP() << "the project is on another drive than the current folder";
    view.chosen = relative.string();
    publisher().ButtonIniciarClick();
    ASSERT_TRUE(view.errors.empty()) << view.errors.front();
    EXPECT_EQ(*publisher().State().ProjectFolder.get(), (fs::absolute(project) / "").string());
    EXPECT_TRUE(fs::exists(manifestPath()));
    EXPECT_EQ(body("/"), ReadWholeFile(manifestPath()));
}

TEST_F(Publish, TheWatchComposesTheAddressesOnTheMainThread)
{
    view.port = "8123";
    TPublishController& p = publisher();
    EXPECT_TRUE(p.MainThread().WaitWhileServing([&] { return !p.ServerAddress().empty(); }, 10s));
    EXPECT_EQ(p.ServerAddress(), "192.168.7.7:8123");
    EXPECT_EQ(p.ServerUrl(), "http://192.168.7.7:8123/");
    EXPECT_EQ(p.ImagesUrl(), "http://192.168.7.7:8123/Images/");
}

TEST_F(Publish, TheListenerHearsEachStepInItsPlaceAndAChosenAddressComposesTheServers)
{
    TPublishController& p = publisher();
    listener.publisher = &p;
    listener.chosen = "10.1.2.3";
    p.ButtonIniciarClick();
    ASSERT_TRUE(view.errors.empty()) << view.errors.front();
    const std::string address = "10.1.2.3:" + std::to_string(port);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"composed " + address, "before", "published"}));
    EXPECT_EQ(p.ServerHost(), "10.1.2.3");
    EXPECT_EQ(p.ServerPort(), std::to_string(port));
    EXPECT_EQ(p.ListeningPort(), port);
    EXPECT_NE(ReadWholeFile(manifestPath()).find("http://" + address + "/Images/luz.png"), std::string::npos);
    EXPECT_EQ(p.ScreenFile(), (project / "screen.xml").string());

    listener.chosen.reset();
    p.ButtonIniciarClick();
    EXPECT_EQ(p.ServerAddress(), "192.168.7.7:" + std::to_string(port)) << "no choice: the watch's lookup";
}

TEST_F(Publish, ReaddressingRewritesOnlyTheRunningPublication)
{
    TPublishController& p = publisher();
    listener.chosen = "10.1.2.3";
    p.Readdress();
    EXPECT_EQ(p.ServerAddress(), "10.1.2.3:" + std::to_string(port));
    EXPECT_TRUE(view.shownAddresses.empty()) << "no publish has shown an address yet";
    EXPECT_FALSE(fs::exists(manifestPath()));

    view.chosen.reset();
    p.PublishFile((project / "other.xml").string());
    ASSERT_TRUE(view.errors.empty());
    listener.chosen = "10.1.2.4";
    p.Readdress();
    const std::string address = "10.1.2.4:" + std::to_string(port);
    EXPECT_EQ(view.shownAddresses.back(), address);
    const std::string manifest = ReadWholeFile(manifestPath());
    EXPECT_NE(manifest.find("http://" + address + "/Images/quarto.png"), std::string::npos);
    EXPECT_EQ(*p.State().PageTemplate.get(), manifest);

    // A publish that fails while loading leaves the running publication to be re-addressed.
    EXPECT_THROW(p.PublishFile((project / "bad-integer.xml").string()), Exception);
    listener.chosen = "10.1.2.5";
    p.Readdress();
    EXPECT_NE(ReadWholeFile(manifestPath()).find("http://10.1.2.5:" + std::to_string(port) + "/Images/quarto.png"),
              std::string::npos);
    EXPECT_EQ(p.ScreenFile(), (project / "other.xml").string());
}

TEST_F(Publish, AServerThatCannotStartIsReportedWithItsPortBeforeTheError)
{
    TIdHTTPServer other;
    other.SetDefaultPort(port);
    other.SetActive(true);
    publisher().ButtonIniciarClick();
    EXPECT_EQ(listener.failedPort, port);
    EXPECT_EQ(view.errors, std::vector<std::string>{"Ja existe um programa da Velmora aberto no computador."});
    other.SetActive(false);
}

TEST(PublishHelpers, ErrorTextsGetAFullStopOnlyWhenTheyEndAfterIt)
{
    EXPECT_EQ(ErrorReportText("abc"), "abc.");
    EXPECT_EQ(ErrorReportText("done."), "done.");
    EXPECT_EQ(ErrorReportText("Servidor Ativo!"), "Servidor Ativo!");
    EXPECT_EQ(ErrorReportText("(x)"), "(x)");
    EXPECT_EQ(ErrorReportText(""), "");
    EXPECT_EQ(FolderOf("/a/b/screen.xml"), "/a/b/");
    EXPECT_EQ(FolderOf("screen.xml"), "");
    EXPECT_EQ(PortFromText("65535"), 65535);
    EXPECT_THROW(PortFromText("65536"), EPortInvalid);
    EXPECT_THROW(PortFromText("-1"), EPortInvalid);
}

}  // namespace
}  // namespace velmora::test
