// What method tracing costs a member call, on a simulated property read
// (IZentrava::get_Attenuation, answered from the value cache):
//   SimulatedRead/TraceOff  the session traces nothing: one flag test per call
//   SimulatedRead/TraceOn   every call appends a Method record to the document
//   TraceHook/Idle          the hook alone, as members run it while tracing is off
// Traced runs are bounded in iterations, since the whole trace stays in memory
// until it is saved.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/driver.h"
#include "services/tracing/method_trace.h"
#include "zentrava/interfaces.h"

namespace {

constexpr int kTracedIterations = 200000;

// One simulated session; tracing into a scratch file when asked.
class Session {
public:
    explicit Session(bool traced) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ztv::Zentrava::CreateInstance(IID_IIviDriver, driver_.ReceiveVoid());
        std::string options = "Simulate=true";
        if (traced) {
            file_ = std::filesystem::temp_directory_path() / ("ztv_trace_bench_" + std::to_string(getpid()));
            options += ", DriverSetup=Trace=true, TraceSaveInterval=60, TraceName=" + file_.string();
        }
        ok_ = driver_ &&
              SUCCEEDED(driver_->Initialize(com::Bstr("GPIB0::1::INSTR").get(), VARIANT_FALSE, VARIANT_FALSE,
                                            com::Bstr(options).get())) &&
              SUCCEEDED(driver_->QueryInterface(IID_IZentrava, root_.ReceiveVoid())) &&
              SUCCEEDED(root_->put_Attenuation(10.5));
    }
    ~Session() {
        root_ = {};
        if (driver_) driver_->Close();
        driver_ = {};
        if (!file_.empty()) std::filesystem::remove(file_.string() + ".xml");
        CoUninitialize();
    }
    bool ok() const { return ok_; }
    IZentrava* root() const { return root_.get(); }

private:
    com::ComPtr<IIviDriver> driver_;
    com::ComPtr<IZentrava> root_;
    std::filesystem::path file_;
    bool ok_ = false;
};

void SimulatedRead(benchmark::State& state, bool traced) {
    Session session(traced);
    if (!session.ok()) {
        state.SkipWithError("cannot open a simulated session");
        return;
    }
    double value = 0;
    for (auto _ : state) {
        session.root()->get_Attenuation(&value);
        benchmark::DoNotOptimize(value);
    }
}

void TraceOff(benchmark::State& state) { SimulatedRead(state, false); }
void TraceOn(benchmark::State& state) { SimulatedRead(state, true); }

void TraceHookIdle(benchmark::State& state) {
    ztv::CTraceOwner owner;
    double value = 0;
    for (auto _ : state) {
        ztv::CMethodTrace trace;
        trace.Begin(&owner, "IZentrava", "get_Attenuation", {ztv::TraceArg::Out("val", &value)});
        benchmark::DoNotOptimize(trace);
    }
}

BENCHMARK(TraceOff)->Name("SimulatedRead/TraceOff");
BENCHMARK(TraceOn)->Name("SimulatedRead/TraceOn")->Iterations(kTracedIterations);
BENCHMARK(TraceHookIdle)->Name("TraceHook/Idle");

}  // namespace

BENCHMARK_MAIN();
