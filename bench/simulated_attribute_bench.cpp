// The C-face cost of a simulated attribute read, the yardstick of the Python
// package's attribute read (bench/python_face.py):
//   Attribute/Simulated  Ztv_GetAttributeViReal64 of ZTV_ATTR_ATTENUATION, answered from the cache
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "zentrava/Zentrava.h"

namespace {

void AttributeSimulated(benchmark::State& state) {
    ViSession vi = VI_NULL;
    if (Ztv_InitWithOptions(const_cast<ViChar*>(""), VI_FALSE, VI_FALSE, "Simulate=true", &vi) < 0 ||
        Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, 10.5) < 0) {
        state.SkipWithError("no simulated session");
        return;
    }
    for (auto _ : state) {
        ViReal64 level = 0;
        if (Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, &level) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(level);
    }
    Ztv_close(vi);
}

BENCHMARK(AttributeSimulated)->Name("Attribute/Simulated")->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("IVI_CONFIG_STORE", "/nonexistent/zentrava-bench-store.xml", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
