// What the driver's I/O path costs over the bare transport, against one
// emulator socket server on loopback:
//   Query/Driver  "SENS:ATT:LEV?" read as a double through the command pipeline
//   Query/Bare    the same bytes written and read on a plain TCP connection
//   List/Driver   "FORM:DATA ASC", the trace query, then FormattedReadList of
//                 100 001 reals
//   List/Bare     the same bytes sent, the reply received whole
// The run ends with both ratios; the exit status says whether their goals held.
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bare_client.h"
#include "bench/ratio_reporter.h"
#include "core/driver.h"
#include "emulator/emulator.h"

namespace {

constexpr int kListPoints = 100001;
constexpr char kListQuery[] = "CALC:PN1:TRAC1:DATA:FDAT?";

// One emulator and one initialized driver for the whole run.
struct Setup {
    std::unique_ptr<emulator::Emulator> emulator;
    com::ComPtr<IIviDriver> driver;
    ztv::Zentrava* object = nullptr;

    bool Start(std::string* error) {
        emulator::Options options;
        options.vxi11Port = -1;
        options.hislipPort = -1;
        options.tracePoints = kListPoints;
        emulator = std::make_unique<emulator::Emulator>(options);
        if (!emulator->Start(error)) return false;
        // The trace is generated once and then served as stored text, so that
        // the server's own work does not blur the cost of the transfer.
        std::optional<std::string> trace = emulator->instrument().Execute(kListQuery);
        if (!trace) {
            *error = "the emulator has no trace to serve";
            return false;
        }
        std::string header(kListQuery);
        header.pop_back();
        emulator->instrument().SetSetting(header, std::move(*trace));
        if (FAILED(ztv::Zentrava::CreateInstance(IID_IIviDriver, driver.ReceiveVoid()))) {
            *error = "cannot create the driver";
            return false;
        }
        const HRESULT hr = driver->Initialize(com::Bstr(emulator->SocketResource()).get(), VARIANT_FALSE,
                                              VARIANT_FALSE, com::Bstr("").get());
        if (FAILED(hr)) {
            *error = "Initialize failed: " + ztv::TakeThreadErrorDescription();
            return false;
        }
        object = static_cast<ztv::Zentrava*>(driver.get());
        return true;
    }
    void Stop() {
        if (driver) driver->Close();
        driver = {};
        if (emulator) emulator->Stop();
    }
};

Setup* g_setup = nullptr;

void QueryDriver(benchmark::State& state) {
    ztv::CDriverIOManager& io = g_setup->object->IO();
    double level = 0;
    for (auto _ : state) {
        if (FAILED(io.InstrQuery("SENS:ATT:LEV?", &level, ztv::kCurrentTimeout))) {
            state.SkipWithError("query failed");
            break;
        }
        benchmark::DoNotOptimize(level);
    }
}

void QueryBare(benchmark::State& state) {
    bench::BareClient client("127.0.0.1", g_setup->emulator->SocketPort());
    std::string reply;
    for (auto _ : state) {
        if (!client.Send("SENS:ATT:LEV?\n") || !client.ReceiveLine(&reply)) {
            state.SkipWithError("bare query failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}

void ListDriver(benchmark::State& state) {
    ztv::CDriverIOManager& io = g_setup->object->IO();
    for (auto _ : state) {
        SAFEARRAY* values = nullptr;
        if (FAILED(io.InstrWrite("FORM:DATA ASC", ztv::kCurrentTimeout)) ||
            FAILED(io.InstrWrite(kListQuery, ztv::kCurrentTimeout)) ||
            FAILED(io.Provider().FormattedReadList(&values, ztv::kCurrentTimeout))) {
            state.SkipWithError("list read failed");
            break;
        }
        if (values->rgsabound[0].cElements != kListPoints) state.SkipWithError("wrong point count");
        SafeArrayDestroy(values);
    }
}

void ListBare(benchmark::State& state) {
    bench::BareClient client("127.0.0.1", g_setup->emulator->SocketPort());
    const std::string request = std::string("FORM:DATA ASC\n") + kListQuery + "\n";
    std::string reply;
    for (auto _ : state) {
        if (!client.Send(request) || !client.ReceiveLine(&reply)) {
            state.SkipWithError("bare list failed");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
}

BENCHMARK(QueryDriver)->Name("Query/Driver")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(QueryBare)->Name("Query/Bare")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(ListDriver)->Name("List/Driver")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(ListBare)->Name("List/Bare")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // No machine configuration store: the resource is used as it stands.
    setenv("IVI_CONFIG_STORE", "/nonexistent/zentrava-bench-store.xml", 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // Repetitions of the four cases take turns, so that a change in machine
    // load between them does not tilt the ratios.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    Setup setup;
    std::string error;
    if (!setup.Start(&error)) {
        std::fprintf(stderr, "ztv_io_bench: %s\n", error.c_str());
        setup.Stop();
        return 2;
    }
    g_setup = &setup;
    bench::RatioReporter reporter({{"Query", 1.10}, {"List", 5.0}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    setup.Stop();
    CoUninitialize();
    return reporter.AllGoalsMet() ? 0 : 1;
}
