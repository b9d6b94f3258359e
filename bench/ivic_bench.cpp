// What the C face costs over the bare transport, against one emulator socket
// server on loopback:
//   Attribute/Driver      Ztv_GetAttributeViReal64 of ZTV_ATTR_ATTENUATION
//   Attribute/Bare        the bytes that call sends, written and read on a plain TCP connection
//   FormattedData/Driver  Ztv_Get_FormattedData of a 100 001-point trace into a caller buffer
//   FormattedData/Bare    the bytes that call sends, the reply received whole
// The bare cases replay exactly what the emulator received from the driver.
// The run ends with both ratios; the exit status says whether their goals held.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bare_client.h"
#include "bench/ratio_reporter.h"
#include "emulator/emulator.h"
#include "zentrava/Zentrava.h"

namespace {

constexpr int kListPoints = 100001;
constexpr char kListQuery[] = "CALC:PN1:TRAC1:DATA:FDAT?";

struct Setup {
    std::unique_ptr<emulator::Emulator> emulator;
    ViSession vi = VI_NULL;
    std::string attributeBytes;  // what one attribute read sends
    std::string listBytes;       // what one trace read sends
    std::vector<ViReal64> trace = std::vector<ViReal64>(kListPoints);

    bool Start(std::string* error) {
        emulator::Options options;
        options.vxi11Port = -1;
        options.hislipPort = -1;
        options.tracePoints = kListPoints;
        emulator = std::make_unique<emulator::Emulator>(options);
        if (!emulator->Start(error)) return false;
        // Served as stored text, so the server's trace generation does not
        // blur the cost of the transfer.
        std::optional<std::string> stored = emulator->instrument().Execute(kListQuery);
        if (!stored) {
            *error = "the emulator has no trace to serve";
            return false;
        }
        std::string header(kListQuery);
        header.pop_back();
        emulator->instrument().SetSetting(header, std::move(*stored));
        std::string resource = emulator->SocketResource();
        if (Ztv_InitWithOptions(resource.data(), VI_FALSE, VI_FALSE, "", &vi) < 0) {
            *error = "Ztv_InitWithOptions failed";
            return false;
        }
        return Record(&attributeBytes, [this] { return ReadAttribute(); }, error) &&
               Record(&listBytes, [this] { return ReadTrace(); }, error);
    }

    bool ReadAttribute() {
        ViReal64 level = 0;
        const bool ok = Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, &level) == 0;
        benchmark::DoNotOptimize(level);
        return ok;
    }
    bool ReadTrace() {
        ViInt32 actual = 0;
        return Ztv_Get_FormattedData(vi, "Measurement1", kListPoints, trace.data(), &actual) == 0 &&
               actual == kListPoints;
    }

    template <typename Call>
    bool Record(std::string* bytes, Call call, std::string* error) {
        emulator->ClearReceived();
        if (!call()) {
            *error = "the driver call failed";
            return false;
        }
        for (const emulator::ReceivedMessage& message : emulator->Received()) *bytes += message.bytes;
        if (bytes->empty()) *error = "the driver call sent nothing";
        return !bytes->empty();
    }

    void Stop() {
        if (vi != VI_NULL) Ztv_close(vi);
        if (emulator) emulator->Stop();
    }
};

Setup* g_setup = nullptr;

template <bool (Setup::*Call)()>
void Driver(benchmark::State& state) {
    for (auto _ : state) {
        if (!(g_setup->*Call)()) {
            state.SkipWithError("driver call failed");
            break;
        }
    }
}

// Sends `bytes` and receives one reply per query in them.
void Bare(benchmark::State& state, const std::string& bytes) {
    bench::BareClient client("127.0.0.1", g_setup->emulator->SocketPort());
    std::string reply;
    for (auto _ : state) {
        if (!client.Send(bytes) || !client.ReceiveLine(&reply)) {
            state.SkipWithError("bare round trip failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}

void AttributeBare(benchmark::State& state) { Bare(state, g_setup->attributeBytes); }
void FormattedDataBare(benchmark::State& state) { Bare(state, g_setup->listBytes); }

BENCHMARK(Driver<&Setup::ReadAttribute>)->Name("Attribute/Driver")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(AttributeBare)->Name("Attribute/Bare")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(Driver<&Setup::ReadTrace>)->Name("FormattedData/Driver")->Repetitions(9)->ReportAggregatesOnly(true)
    ->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(FormattedDataBare)->Name("FormattedData/Bare")->Repetitions(9)->ReportAggregatesOnly(true)
    ->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // No machine configuration store: the resource is used as it stands.
    setenv("IVI_CONFIG_STORE", "/nonexistent/zentrava-bench-store.xml", 1);
    // Repetitions take turns, so a change in machine load does not tilt the ratios.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    Setup setup;
    std::string error;
    if (!setup.Start(&error)) {
        std::fprintf(stderr, "ztv_ivic_bench: %s\n", error.c_str());
        setup.Stop();
        return 2;
    }
    g_setup = &setup;
    bench::RatioReporter reporter({{"Attribute", 1.10}, {"FormattedData", 5.0}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    setup.Stop();
    return reporter.AllGoalsMet() ? 0 : 1;
}
