// What the native C++ API costs over the COM call it wraps (goal: at most
// 5 % more; compare the medians, the CPU column on a busy machine), on one
// simulated session:
//   NativeAttribute/COM     IZentrava::get_Attenuation, answered from the cache
//   NativeAttribute/Native  zentrava::Driver::attenuation(), the same member
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "zentrava/driver.hpp"

namespace {

zentrava::Driver* session = nullptr;

void ThroughCom(benchmark::State& state) {
    const zentrava::ComPtr<IZentrava> root = session->com();
    for (auto _ : state) {
        double level = 0;
        if (FAILED(root->get_Attenuation(&level))) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(level);
    }
}

void ThroughNative(benchmark::State& state) {
    const zentrava::Driver& driver = *session;
    for (auto _ : state) benchmark::DoNotOptimize(driver.attenuation());
}

BENCHMARK(ThroughCom)->Name("NativeAttribute/COM")->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(ThroughNative)->Name("NativeAttribute/Native")->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    setenv("IVI_CONFIG_STORE", "/nonexistent/zentrava-bench-store.xml", 1);
    zentrava::Driver driver("", {.id_query = false, .simulate = true});
    driver.set_attenuation(10.5);
    session = &driver;
    // The two rows take turns, so that a machine's changing load falls on both alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
