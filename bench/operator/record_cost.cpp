// The cost of recording one served request in the phone tracker, alone and with connection threads
// recording at once, to set beside the cost of serving a request (bench/operator/run.sh).

#include <benchmark/benchmark.h>

#include "operator/PhoneTracker.h"

namespace velmora {
namespace {

std::shared_ptr<const TManifestIndex> manifest()
{
    std::vector<TManifestEntry> entries{{"screen.xml", "http://h:1/screen.xml", "/screen.xml"}};
    for (int i = 0; i < 200; ++i) {
        const std::string name = "imagem_" + std::to_string(i) + ".png";
        entries.push_back({name, "http://h:1/Images/" + name, "/Images/" + name});
    }
    return std::make_shared<const TManifestIndex>(entries);
}

TPhoneTracker& tracker()
{
    static TPhoneTracker shared;
    return shared;
}

void RecordOneRequest(benchmark::State& state)
{
    if (state.thread_index() == 0) {
        tracker().SetManifest(manifest());
        tracker().Record({"192.168.0.20", "GET", "/", 200, 9000, true});
    }
    for (auto _ : state)
        tracker().Record({"192.168.0.20", "GET", "/Images/imagem_17.png", 200, 20480, true});
}
BENCHMARK(RecordOneRequest)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
