// measure APP: one complete measurement of an application, its trace as CSV
// and as an SVG plot.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/plot/svg_plot.h"
#include "apps/text/number_text.h"
#include "apps/ztv/commands.h"
#include "apps/ztv/names.h"

namespace ztv_tool {

namespace {

using apptext::Fixed;
using apptext::General;

using Initiate = ViStatus (*)(ViSession);
using ReadList = ViStatus (*)(ViSession, ViConstString, ViInt32, ViReal64[], ViInt32*);
using WriteList = ViStatus (*)(ViSession, ViConstString, ViInt32, ViReal64[]);

// What differs between the applications. Attributes are named as `get`
// takes them with the application's --app.
struct Application {
    const char* name;
    const char* title;
    Initiate initiate;  // nullptr: the trace is the user's, nothing to start
    ReadList data;
    ReadList xData;
    WriteList upperLimit;
    const char* start;  // setting of the first X value, nullptr when it has none
    const char* stop;
    const char* points;  // writable point count, nullptr when the instrument chooses
    bool averages;
    const char* limitFail;  // the trace's limit test result
    bool logX;
    const char* xLabel;
    const char* yLabel;
};

const Application kApplications[] = {
    {"pn", "Phase noise L(f)", Ztv_ApplicationPhaseNoiseMeasurementsInitiate, Ztv_Get_FormattedData,
     Ztv_ApplicationPhaseNoiseMeasurementGet_Xdata, Ztv_ApplicationPhaseNoiseMeasurementLimitUpperSegment,
     "FREQUENCY_START_OFFSET", "FREQUENCY_STOP_OFFSET", nullptr, true, "MEASUREMENT_LIMIT_FAIL", true,
     "Offset frequency (Hz)", "L(f) (dBc/Hz)"},
    {"am", "AM noise", Ztv_ApplicationAMNoiseMeasurementsInitiate,
     Ztv_ApplicationAMNoiseMeasurementDataGet_FormattedData, Ztv_ApplicationAMNoiseMeasurementGet_XData,
     Ztv_ApplicationAMNoiseMeasurementLimitUpperSegment, "FREQUENCY_START_OFFSET", "FREQUENCY_STOP_OFFSET", nullptr,
     true, "MEASUREMENT_LIMIT_FAIL", true, "Offset frequency (Hz)", "M(f) (dBc/Hz)"},
    {"bb", "Baseband noise", Ztv_ApplicationBaseBandMeasurementsInitiate,
     Ztv_ApplicationBaseBandMeasurementDataGet_FormattedData, Ztv_ApplicationBaseBandMeasurementGet_Xdata,
     Ztv_ApplicationBaseBandMeasurementLimitUpperSegment, "FREQUENCY_START", "FREQUENCY_STOP", nullptr, true,
     "MEASUREMENT_LIMIT_FAIL", true, "Frequency (Hz)", "Noise (dBV/Hz)"},
    {"fp", "Frequency against control voltage", Ztv_ApplicationFrequencyPowerMeasurementsInitiate,
     Ztv_ApplicationFrequencyPowerMeasurementDataGet_FormattedData, Ztv_ApplicationFrequencyPowerMeasurementGet_Xdata,
     Ztv_ApplicationFrequencyPowerMeasurementLimitUpperSegment, "CONTROLVOLTAGESTEP_START", "CONTROLVOLTAGESTEP_STOP",
     "SWEEP_SIZE", true, "MEASUREMENT_LIMIT_FAIL", false, "Control voltage (V)", "Frequency (Hz)"},
    {"sp", "Spectrum", Ztv_ApplicationSpectrumMonitorMeasurementsInitiate, Ztv_Get_FormattedData2,
     Ztv_ApplicationSpectrumMonitorMeasurementGet_Xdata, Ztv_ApplicationSpectrumMonitorMeasurementLimitUpperSegment,
     "FREQUENCY_START", "FREQUENCY_STOP", nullptr, true, "MEASUREMENT_LIMIT_FAIL", false, "Frequency (Hz)",
     "Power (dBm)"},
    {"tr", "Transient", Ztv_ApplicationTransientMeasurementsInitiate, Ztv_Get_FormattedData3,
     Ztv_ApplicationTransientMeasurementGet_XData, Ztv_ApplicationTransientMeasurementLimitUpperSegment, nullptr,
     nullptr, nullptr, true, "MEASUREMENT_LIMIT_FAIL", false, "Time (s)", "Frequency deviation (Hz)"},
    {"user", "User trace", nullptr, Ztv_ApplicationUserMeaurementDataGet_FormattedData,
     Ztv_ApplicationUserMeaurementGet_Xdata, Ztv_ApplicationUserMeaurementLimitUpperSegment, nullptr, nullptr, nullptr,
     false, "MEAUREMENTS_LIMIT_FAIL", true, "Offset frequency (Hz)", "Level (dB)"},
};

constexpr const char* kTrace = "Measurement1";
// The driver's I/O time-out status.
constexpr ViStatus kIoTimeout = static_cast<ViStatus>(0xBFFA4215u);

struct Settings {
    std::string app;
    std::optional<double> start, stop;
    std::optional<int> points, averages;
    std::vector<double> markers;
    std::vector<double> upperLimit;  // x start, y start, x stop, y stop per segment
    int maxTimeMs = 600000;
    std::string csv, svg;
};

// Every failing call ends the measurement; `ok` stays false from then on.
class Run {
public:
    Run(Session& session, const Application& app) : s_(session), app_(app), appName_(FindApp(app.name)) {}

    bool ok = true;

    ViAttr Attribute(const char* name) {
        std::string error;
        const AttributeInfo* a = FindAttribute(name, appName_, &error);
        if (!a && ok) {
            std::fprintf(stderr, "ztv: %s\n", error.c_str());
            ok = false;
        }
        return a ? static_cast<ViAttr>(a->id) : 0;
    }
    void Call(ViStatus status, const std::string& what) { ok = ok && s_.Check(status, what); }
    void SetReal(const char* name, double v, const char* selector = "") {
        if (ok) Call(Ztv_SetAttributeViReal64(s_.vi(), selector, Attribute(name), v), std::string("setting ") + name);
    }
    void SetInt(const char* name, int v) {
        if (ok) Call(Ztv_SetAttributeViInt32(s_.vi(), "", Attribute(name), v), std::string("setting ") + name);
    }
    void SetBool(const char* name, bool v, const char* selector) {
        if (ok)
            Call(Ztv_SetAttributeViBoolean(s_.vi(), selector, Attribute(name), v ? VI_TRUE : VI_FALSE),
                 std::string("setting ") + name);
    }
    std::vector<double> List(ReadList read, const std::string& what) {
        std::vector<double> values(200001);
        ViInt32 actual = 0;
        if (ok) Call(read(s_.vi(), kTrace, static_cast<ViInt32>(values.size()), values.data(), &actual), what);
        values.resize(ok ? static_cast<std::size_t>(std::min<ViInt32>(actual, static_cast<ViInt32>(values.size())))
                         : 0);
        return values;
    }
    // Starts the measurement so that its end requests service: older events
    // cleared, the operation-complete event enabled, "*OPC" behind the start.
    void Start(Initiate initiate) {
        const ViSession vi = s_.vi();
        if (ok) Call(Ztv_StatusClear(vi), "clearing the status");
        if (ok)
            Call(Ztv_StatusConfigureServiceRequest(vi, ZTV_VAL_ZENTRAVA_SRQ_REASON_ESR_OPC),
                 "enabling the service request");
        if (ok) Call(initiate(vi), "starting the measurement");
        if (ok) Call(Ztv_SystemWrite(vi, "*OPC\n"), "starting the measurement");
    }
    // Waits for the measurement's service request, or where the interface
    // cannot carry one for the operation to complete, showing the time it
    // takes on a terminal.
    void Wait(int maxTimeMs) {
        if (!ok) return;
        const ViSession vi = s_.vi();
        auto done = std::async(std::launch::async, [vi, maxTimeMs] {
            const auto begin = std::chrono::steady_clock::now();
            ViInt16 statusByte = 0;
            const ViStatus requested = Ztv_WaitForServiceRequest(vi, maxTimeMs, &statusByte);
            if (requested >= 0 || requested == kIoTimeout) return requested;
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
            return Ztv_SystemWaitForOperationComplete(
                vi, std::max<ViInt32>(maxTimeMs - static_cast<ViInt32>(spent.count()), 0));
        });
        const bool terminal = isatty(STDERR_FILENO);
        const auto begin = std::chrono::steady_clock::now();
        static const char kSpinner[] = "|/-\\";
        for (int tick = 0; done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready; ++tick) {
            if (!terminal) continue;
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            std::fprintf(stderr, "\r%c measuring %s: %s s ", kSpinner[tick % 4], app_.name, Fixed(seconds, 1).c_str());
        }
        if (terminal) std::fprintf(stderr, "\r%40s\r", "");
        Call(done.get(), "waiting for the measurement");
    }
    Session& session() { return s_; }

private:
    Session& s_;
    const Application& app_;
    const AppName* appName_;
};

bool WriteCsv(const std::string& path, const Application& app, const std::vector<std::string>& context,
              const std::vector<double>& x, const std::vector<double>& y) {
    FILE* f = path == "-" ? stdout : std::fopen(path.c_str(), "w");
    if (!f) return false;
    for (const std::string& line : context) std::fprintf(f, "# %s\n", line.c_str());
    std::fprintf(f, "%s,%s\n", app.xLabel, app.yLabel);
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        std::fprintf(f, "%s,%s\n", General(x[i], 10).c_str(), General(y[i]).c_str());
    }
    return path == "-" ? std::fflush(f) == 0 : std::fclose(f) == 0;
}

void Configure(Run& run, const Application& app, const Settings& settings) {
    if (settings.start) run.SetReal(app.start, *settings.start);
    if (settings.stop) run.SetReal(app.stop, *settings.stop);
    if (settings.points) run.SetInt(app.points, *settings.points);
    if (settings.averages) {
        run.SetBool("ACQUISITION_AVERAGE_ENABLED", *settings.averages > 1, "");
        run.SetInt("ACQUISITION_AVERAGE_COUNT", *settings.averages);
    }
}

// Places each marker and reads its level into the plot.
bool ReadMarkers(Run& run, const Settings& settings, Plot* plot) {
    for (std::size_t i = 0; i < settings.markers.size(); ++i) {
        const std::string selector = std::string(kTrace) + ":Marker" + std::to_string(i + 1);
        run.SetBool("MARKER_ENABLED", true, selector.c_str());
        run.SetReal("MARKER_X_VALUE", settings.markers[i], selector.c_str());
        ViReal64 level = 0;
        if (run.ok)
            run.Call(
                Ztv_GetAttributeViReal64(run.session().vi(), selector.c_str(), run.Attribute("MARKER_Y_VALUE"), &level),
                "reading a marker");
        if (!run.ok) return false;
        std::fprintf(stderr, "marker %zu: %s at %s\n", i + 1, General(level).c_str(),
                     General(settings.markers[i]).c_str());
        plot->markers.push_back({settings.markers[i], level, "M" + std::to_string(i + 1)});
    }
    return true;
}

// Writes the upper limit line and reads the test's verdict; nullopt when a call failed.
std::optional<bool> TestUpperLimit(Run& run, const Application& app, const Settings& settings, Plot* plot) {
    std::vector<double> segments = settings.upperLimit;
    const ViSession vi = run.session().vi();
    run.Call(app.upperLimit(vi, kTrace, static_cast<ViInt32>(segments.size()), segments.data()),
             "writing the limit line");
    run.SetBool("LIMIT_ENABLED", true, kTrace);
    ViBoolean failed = VI_FALSE;
    if (run.ok)
        run.Call(Ztv_GetAttributeViBoolean(vi, kTrace, run.Attribute(app.limitFail), &failed),
                 "reading the limit test");
    if (!run.ok) return std::nullopt;
    std::fprintf(stderr, "limit test: %s\n", failed ? "FAIL" : "pass");
    for (std::size_t i = 0; i + 3 < segments.size(); i += 4) {
        plot->limits.push_back({segments[i], segments[i + 1], segments[i + 2], segments[i + 3]});
    }
    return failed != VI_FALSE;
}

// The key result of a phase-noise measurement: integrated jitter over the instrument's band.
bool ReadIntegratedNoise(Run& run, const Application& app, Plot* plot) {
    ViReal64 noise = 0, range = 0, rad = 0, deg = 0, jitter = 0, fm = 0;
    run.Call(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(run.session().vi(), kTrace, &noise, &range, &rad,
                                                                      &deg, &jitter, &fm),
             "reading the integrated noise");
    if (!run.ok) return false;
    const std::string jitterFs = Fixed(jitter * 1e15, 1);
    plot->title = std::string(app.title) + ": integrated jitter " + jitterFs + " fs rms over " + General(range) + " Hz";
    std::fprintf(stderr, "integrated noise: %s dBc, jitter %s fs rms, residual FM %s Hz\n", Fixed(noise, 2).c_str(),
                 jitterFs.c_str(), General(fm, 3).c_str());
    return true;
}

// Each result says where it comes from: the instrument, when, and the
// application's settings it was measured with.
bool WriteResults(Session& session, const Application& app, const Settings& settings, Plot* plot) {
    if (settings.csv.empty() && settings.svg.empty()) return true;
    const std::optional<std::vector<std::string>> context =
        ResultContext(session, std::string("APPLICATION_") + FindApp(app.name)->attributeName + "_");
    if (!context) return false;
    plot->metadata = *context;
    if (!settings.csv.empty() && !WriteCsv(settings.csv, app, plot->metadata, plot->x, plot->y)) {
        std::fprintf(stderr, "ztv: cannot write %s\n", settings.csv.c_str());
        return false;
    }
    if (!settings.svg.empty() && !WriteSvgPlot(settings.svg.c_str(), *plot)) {
        std::fprintf(stderr, "ztv: cannot write %s\n", settings.svg.c_str());
        return false;
    }
    return true;
}

int Measure(Session& session, const Application& app, const Settings& settings) {
    Run run(session, app);
    Configure(run, app, settings);
    ViBoolean simulating = VI_FALSE;
    run.Call(Ztv_GetAttributeViBoolean(session.vi(), "", IVI_ATTR_SIMULATE, &simulating),
             "reading the simulation state");
    // In simulation there is nothing to start or wait for: the driver reads
    // its simulated values.
    if (app.initiate && !simulating) {
        run.Start(app.initiate);
        run.Wait(settings.maxTimeMs);
    }
    const std::vector<double> y = run.List(app.data, "reading the trace");
    const std::vector<double> x = run.List(app.xData, "reading the X axis");
    if (!run.ok) return kExitFailed;
    if (x.size() != y.size() || y.empty()) {
        std::fprintf(stderr, "ztv: the trace has %zu points but %zu X values\n", y.size(), x.size());
        return kExitFailed;
    }
    Plot plot{app.title, app.xLabel, app.yLabel, app.logX, x, y, {}, {}, {}};
    if (!ReadMarkers(run, settings, &plot)) return kExitFailed;
    bool limitFailed = false;
    if (!settings.upperLimit.empty()) {
        const std::optional<bool> failed = TestUpperLimit(run, app, settings, &plot);
        if (!failed) return kExitFailed;
        limitFailed = *failed;
    }
    if (std::string(app.name) == "pn" && !ReadIntegratedNoise(run, app, &plot)) return kExitFailed;
    std::fprintf(stderr, "trace: %zu points, %s to %s\n", x.size(), General(x.front()).c_str(),
                 General(x.back()).c_str());
    if (!WriteResults(session, app, settings, &plot)) return kExitFailed;
    return limitFailed ? kExitLimitFailed : kExitOk;
}

// The application and whether every given option is one it has.
const Application* Check(const Settings& settings, int* exit) {
    const AppName* name = FindApp(settings.app);
    const Application* app = nullptr;
    for (const Application& a : kApplications) {
        if (name && name->shortName == std::string(a.name)) app = &a;
    }
    auto refuse = [&](const std::string& text) {
        *exit = UsageError(text);
        return nullptr;
    };
    if (!app) return refuse("APP " + settings.app + ": not an application (" + AppNames() + ")");
    if ((settings.start || settings.stop) && !app->start)
        return refuse(std::string("--start/--stop: ") + app->name + " has no sweep range to set");
    if (settings.start && settings.stop && !(*settings.start < *settings.stop)) {
        return refuse("--start " + General(*settings.start) + " --stop " + General(*settings.stop) +
                      ": the start must lie below the stop");
    }
    if (settings.points && !app->points)
        return refuse(std::string("--points: ") + app->name + " chooses its points itself");
    if (settings.averages && !app->averages)
        return refuse(std::string("--averages: ") + app->name + " does not average");
    if (settings.upperLimit.size() % 4 != 0)
        return refuse("--upper-limit: four numbers per segment (x start, y start, x stop, y stop)");
    return app;
}

}  // namespace

Runner AddMeasure(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("measure", "run a measurement; write its trace as CSV and SVG");
    auto settings = std::make_shared<Settings>();
    command->add_option("APP", settings->app, "application: " + AppNames())->required();
    // Not-a-number and infinities would be sent as they are: refused here.
    const CLI::Validator finite(
        [](std::string& text) {
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            return !text.empty() && !*end && std::isfinite(v) ? std::string() : "not a finite number: " + text;
        },
        "NUMBER");
    command->add_option("--start", settings->start, "first X value: offset, frequency or control voltage")
        ->check(finite);
    command->add_option("--stop", settings->stop, "last X value, above the start")->check(finite);
    command->add_option("--points", settings->points, "points of the sweep (fp)")->check(CLI::Range(2, 100001));
    command->add_option("--averages", settings->averages, "averages (1: none)")->check(CLI::Range(1, 10000));
    command->add_option("--marker", settings->markers, "place a marker at this X value (repeatable)")->check(finite);
    command
        ->add_option("--upper-limit", settings->upperLimit,
                     "limit line: x1,y1,x2,y2 per segment; exit status 3 when the trace crosses it")
        ->delimiter(',')
        ->check(finite);
    command->add_option("--max-time", settings->maxTimeMs, "longest wait for the measurement, ms")
        ->check(CLI::PositiveNumber);
    command->add_option("--csv", settings->csv, "write the trace as CSV (- for standard output)");
    command->add_option("--svg", settings->svg, "plot the trace as SVG");
    return [=, &globals] {
        int exit = kExitOk;
        const Application* app = Check(*settings, &exit);
        if (!app) return exit;
        return WithSession(globals, [&](Session& s) { return Measure(s, *app, *settings); });
    };
}

}  // namespace ztv_tool
