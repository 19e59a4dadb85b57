#include "operator/PortDiagnosis.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "OperatorTestSupport.h"
#include "SystemTexts.h"
#include "net/IdStack.h"

namespace velmora::test {
namespace {

TEST(PortDiagnosis, EachKindOfFailureGetsItsLines)
{
    const std::set<int> busy = {8099, 8100, 8101};
    TPortDiagnosisTools tools;
    tools.Bind = [&](int port) { return port < 1024 ? Id_WSAEACCES : busy.count(port) ? Id_WSAEADDRINUSE : 0; };
    tools.Holder = [](int) { return std::optional<TPortHolder>(TPortHolder{"velmora-server", 4242}); };

    tools.ServerSoftware = [](int) { return std::string("Talvo Web"); };
    EXPECT_EQ(DiagnosePort(8099, tools),
              (std::vector<std::string>{
                  "A porta 8099 está em uso por outra cópia deste programa (velmora-server, processo 4242).",
                  "Próxima porta livre: 8102."}));

    tools.ServerSoftware = [](int) { return std::string("nginx"); };
    tools.Holder = [](int) { return std::optional<TPortHolder>(); };
    EXPECT_EQ(DiagnosePort(8101, tools),
              (std::vector<std::string>{"A porta 8101 está em uso por outro programa.", "Próxima porta livre: 8102."}));

    EXPECT_EQ(DiagnosePort(80, tools),
              std::vector<std::string>{"Sem permissão para usar a porta 80; use uma porta acima de 1023."});
    EXPECT_TRUE(DiagnosePort(9000, tools).empty()) << "a port that binds now has nothing to explain";
    tools.Bind = [](int) { return Id_WSAEINVAL; };
    EXPECT_TRUE(DiagnosePort(9000, tools).empty());
}

// The search for a free port covers FreePortSearchSpan ports and not one more.
TEST(PortDiagnosis, TheFreePortSearchStopsAtItsSpan)
{
    for (int freeAt : {FreePortSearchSpan, FreePortSearchSpan + 1}) {
        TPortDiagnosisTools tools;
        tools.Bind = [&](int port) { return port == 20000 + freeAt ? 0 : Id_WSAEADDRINUSE; };
        tools.ServerSoftware = [](int) { return std::string(); };
        tools.Holder = [](int) { return std::optional<TPortHolder>(); };
        const std::vector<std::string> lines = DiagnosePort(20000, tools);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1],
                  freeAt == FreePortSearchSpan ? "Próxima porta livre: 20100."
                                               : "Nenhuma porta livre entre 20001 e 20100.");
    }
}

TEST(PortDiagnosis, AHeldPortIsFoundTakenAndItsProcessNamed)
{
    std::optional<ReservedPort> free{std::in_place};
    const int port = free->port();
    EXPECT_EQ(TryBindPort(port), 0) << "a port only bound, not listening, is free to a server";
    EXPECT_EQ(FindPortHolder(port), std::nullopt);
    free.reset();
    // Held as another program would hold it: listening.
    LoopbackListener holder;
    const int held = holder.port();
    EXPECT_EQ(TryBindPort(held), Id_WSAEADDRINUSE);
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine names no process as a port's owner";
    std::optional<TPortHolder> found = FindPortHolder(held);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Pid, ::getpid());
    EXPECT_EQ(found->Program, OwnProgramName());
    const std::vector<std::string> lines = DiagnosePort(held);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "A porta " + std::to_string(held) + " está em uso por outro programa (" + OwnProgramName() +
                  ", processo " + std::to_string(::getpid()) + ").");
}

}  // namespace
}  // namespace velmora::test
