// A complete phase-noise measurement through the C API: configure the
// offsets, measure, read the trace, place a marker, run a limit test, read the
// integrated jitter, and save the trace as CSV and as an SVG plot.
//   zentrava-example              measures the bundled emulator, started here
//   zentrava-example <resource>   measures that instrument
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "apps/plot/svg_plot.h"
#include "apps/text/number_text.h"
#include "emulator/emulator.h"
#include "zentrava/Zentrava.h"

namespace {

using apptext::Fixed;
using apptext::General;

constexpr const char* kTrace = "Measurement1";           // the phase-noise trace
constexpr const char* kMarker = "Measurement1:Marker1";  // its first marker

// Stops the program with the driver's explanation of a failed call.
void Check(ViSession vi, ViStatus status, const char* what) {
    if (status >= 0) return;
    ViStatus code = 0;
    char text[512] = "";
    Ztv_GetError(vi, &code, sizeof text, text);
    std::fprintf(stderr, "%s failed (0x%08X): %s\n", what, static_cast<unsigned>(status), text);
    std::exit(1);
}

bool WriteCsv(const char* path, const std::vector<double>& offsets, const std::vector<double>& noise) {
    FILE* file = std::fopen(path, "w");
    if (!file) return false;
    std::fprintf(file, "offset_hz,l_dbc_per_hz\n");
    for (std::size_t i = 0; i < offsets.size() && i < noise.size(); ++i)
        std::fprintf(file, "%s,%s\n", General(offsets[i], 9).c_str(), Fixed(noise[i], 4).c_str());
    return std::fclose(file) == 0;
}

struct Trace {
    std::vector<ViReal64> offsets, noise;
};

// Carrier near 1 GHz, offsets from 1 Hz to 40 MHz; measures and waits for the end.
void Measure(ViSession vi) {
    Check(vi, Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_CARRIER, 1e9), "carrier");
    Check(vi, Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_START_OFFSET, 1.0), "start");
    Check(vi, Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_STOP_OFFSET, 40e6), "stop");
    Check(vi, Ztv_SetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_ACQUISITION_CORRELATION, 10),
          "correlation");
    Check(vi, Ztv_ApplicationPhaseNoiseMeasurementsInitiate(vi), "Initiate");
    Check(vi, Ztv_SystemWaitForOperationComplete(vi, 60000), "WaitForOperationComplete");
}

// The trace and its offsets, as many points as the sweep has.
Trace ReadTrace(ViSession vi) {
    ViInt32 points = 0, actual = 0;
    Check(vi, Ztv_GetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_SIZE, &points), "points");
    Trace trace;
    trace.noise.resize(static_cast<std::size_t>(points));
    trace.offsets.resize(trace.noise.size());
    Check(vi, Ztv_Get_FormattedData(vi, kTrace, points, trace.noise.data(), &actual), "GetFormatted");
    trace.noise.resize(static_cast<std::size_t>(std::min(actual, points)));
    Check(vi, Ztv_ApplicationPhaseNoiseMeasurementGet_Xdata(vi, kTrace, points, trace.offsets.data(), &actual),
          "GetXData");
    trace.offsets.resize(static_cast<std::size_t>(std::min(actual, points)));
    if (trace.noise.empty() || trace.offsets.size() != trace.noise.size()) {
        std::fprintf(stderr, "the trace has %zu points but %zu offsets\n", trace.noise.size(), trace.offsets.size());
        std::exit(1);
    }
    std::printf("trace             %zu points, %s Hz to %s MHz\n", trace.noise.size(),
                General(trace.offsets.front()).c_str(), General(trace.offsets.back() / 1e6).c_str());
    return trace;
}

// Marker 1 at 1 kHz offset.
void ReadMarker(ViSession vi) {
    ViReal64 markerLevel = 0;
    Check(vi,
          Ztv_SetAttributeViBoolean(vi, kMarker, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_ENABLED, VI_TRUE),
          "marker on");
    Check(vi, Ztv_SetAttributeViReal64(vi, kMarker, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_X_VALUE, 1e3),
          "marker X");
    Check(
        vi,
        Ztv_GetAttributeViReal64(vi, kMarker, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_Y_VALUE, &markerLevel),
        "marker Y");
    std::printf("marker 1          %s dBc/Hz at 1 kHz\n", Fixed(markerLevel, 1).c_str());
}

// Limit test against an upper mask: (start Hz, start dBc/Hz, stop Hz, stop dBc/Hz) per segment.
void TestLimit(ViSession vi) {
    ViReal64 mask[] = {1, -40, 100, -80, 100, -80, 10e3, -120, 10e3, -120, 40e6, -140};
    Check(vi, Ztv_ApplicationPhaseNoiseMeasurementLimitUpperSegment(vi, kTrace, 12, mask), "limit segments");
    Check(vi, Ztv_SetAttributeViBoolean(vi, kTrace, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_LIMIT_ENABLED, VI_TRUE),
          "limit on");
    ViBoolean failed = VI_FALSE;
    Check(vi, Ztv_GetAttributeViBoolean(vi, kTrace, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_LIMIT_FAIL, &failed),
          "limit fail");
    std::printf("limit test        %s\n", failed ? "FAIL" : "pass");
}

// Integrated phase noise and jitter between the X band markers, 1 kHz to 10 MHz; returns the jitter in seconds.
ViReal64 IntegrateNoise(ViSession vi) {
    Check(vi,
          Ztv_SetAttributeViInt32(vi, kTrace, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_FUNCTION_ANALYSIS_TYPE,
                                  ZTV_VAL_ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL),
          "analysis type");
    Check(vi, Ztv_SetAttributeViReal64(vi, kTrace, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_BANDMARKERX_START, 1e3),
          "band start");
    Check(vi, Ztv_SetAttributeViReal64(vi, kTrace, ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_BANDMARKERX_STOP, 10e6),
          "band stop");
    ViReal64 integrated = 0, range = 0, rmsRad = 0, rmsDeg = 0, jitter = 0, residualFm = 0;
    Check(vi,
          Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(vi, kTrace, &integrated, &range, &rmsRad, &rmsDeg,
                                                                   &jitter, &residualFm),
          "IntegralData");
    std::printf("integrated noise  %s dBc over %s Hz: %s rad rms, %s deg rms, jitter %s fs, residual FM %s Hz\n",
                Fixed(integrated, 2).c_str(), General(range).c_str(), General(rmsRad, 3).c_str(),
                General(rmsDeg, 3).c_str(), General(jitter * 1e15, 3).c_str(), General(residualFm, 3).c_str());
    return jitter;
}

void Save(const Trace& trace, ViReal64 jitter) {
    if (!WriteCsv("pn_trace.csv", trace.offsets, trace.noise)) std::fprintf(stderr, "cannot write pn_trace.csv\n");
    const std::string title =
        "Phase noise L(f): integrated jitter " + Fixed(jitter * 1e15, 1) + " fs rms (1 kHz to 10 MHz)";
    const Plot plot{title, "Offset frequency", "L(f) (dBc/Hz)", true, trace.offsets, trace.noise, {}, {}, {}};
    if (!WriteSvgPlot("pn_trace.svg", plot)) std::fprintf(stderr, "cannot write pn_trace.svg\n");
    std::printf("written           pn_trace.csv, pn_trace.svg\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Without a named instrument, measure the emulator over a real socket.
    std::unique_ptr<emulator::Emulator> emulated;
    std::string resource = argc > 1 ? argv[1] : "";
    if (resource.empty()) {
        emulated = std::make_unique<emulator::Emulator>();
        std::string error;
        if (!emulated->Start(&error)) {
            std::fprintf(stderr, "cannot start the emulator: %s\n", error.c_str());
            return 1;
        }
        resource = emulated->SocketResource();
    }
    std::printf("instrument        %s\n", resource.c_str());

    ViSession vi = VI_NULL;
    Check(VI_NULL, Ztv_InitWithOptions(resource.data(), VI_TRUE, VI_TRUE, "", &vi), "Ztv_InitWithOptions");
    Measure(vi);
    const Trace trace = ReadTrace(vi);
    ReadMarker(vi);
    TestLimit(vi);
    Save(trace, IntegrateNoise(vi));
    Check(VI_NULL, Ztv_close(vi), "Ztv_close");
    return 0;
}
