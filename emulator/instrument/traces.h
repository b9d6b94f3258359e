#pragma once

#include <optional>
#include <string>
#include <vector>

namespace emulator {

// Which list a data query asks for.
enum class TraceKind {
    Formatted,    // ...:DATA:FDAT / FMEM: the displayed trace
    Unformatted,  // ...:DATA:UDAT / UMEM: linear values
    Power,        // ...:TRAC<n>:DATA:PDAT / PMEM and the application's raw power data
    Spurious,     // ...:DATA:SDAT / SMEM: (offset, level) pairs
    Raw,          // ...:DATA:RDAT
    XAxis,        // ...:DATA:XDAT
    Carrier,      // ...:DATA:CARR: carrier frequency and power
    Tester,       // ...:DATA:TDAT
    LimitUpper,   // ...:LIM:UPP:LDAT
    LimitLower,   // ...:LIM:LOW:LDAT
};

enum class Application { PhaseNoise, AmNoise, Baseband, FrequencyPower, SpectrumMonitor, Transient, User };

struct TraceQuery {
    Application app = Application::PhaseNoise;
    int trace = 1;
    TraceKind kind = TraceKind::Formatted;
};

// Recognizes the data queries of the measurement applications from their
// normalized header nodes ("CALC", "PN", "TRAC", "DATA", "FDAT").
std::optional<TraceQuery> ClassifyTraceQuery(const std::vector<std::string>& nodes);
// The application named by a node ("PN", "USER", "FP2"), if any.
std::optional<Application> ApplicationOf(const std::string& node);

struct Trace {
    std::vector<double> x;
    std::vector<double> y;
};

// What a trace spans: its X axis from start to stop (both 0: the
// application's own range) on a number of points.
struct Sweep {
    double start = 0.0;
    double stop = 0.0;
    int points = 1001;
};

// The measured trace of an application: X axis and formatted Y values.
Trace MeasuredTrace(Application app, int trace, const Sweep& sweep);
// The list a data query answers.
std::vector<double> TraceList(const TraceQuery& query, const Sweep& sweep);

// The phase-noise model without spurs and measurement noise, in dBc/Hz.
double PhaseNoiseModel(double offsetHz);
constexpr double kCarrierHz = 1e9;
constexpr double kCarrierDbm = 5.0;

// Evaluates a trace at `x` by interpolation (logarithmic X when the axis is).
double Interpolate(const Trace& trace, double x);

// Analysis results, in the order the instrument lists them.
std::vector<double> Statistics(const std::vector<double>& y);
// Integrated noise (dBc), range (Hz), RMS phase (rad, deg), jitter (s), residual FM (Hz).
std::vector<double> IntegratedNoise(const Trace& phaseNoise, double startHz, double stopHz);
// The integral results of an application's measured trace; the phase-noise
// spurs count as lines of their own power.
std::vector<double> MeasuredIntegral(Application app, int trace, const Sweep& sweep, double startHz, double stopHz);
// Allan variance and RMS jitter up to `cutoffHz` for averaging time `tau`.
std::vector<double> AllanVariance(const Trace& phaseNoise, double tau, double cutoffHz);
// Whether the trace crosses a limit line. Segments are (x start, y start,
// x stop, y stop) groups, interpolated like the trace's X axis.
bool LimitFails(const Trace& trace, const std::vector<double>& upperSegments, const std::vector<double>& lowerSegments);
// Slope and offset of the least-squares line through the trace.
std::vector<double> LinearRegression(const Trace& trace);

// How reals are written: the instrument's NR3 form ("-6.000109999E+01"),
// or the shortest form with nine significant digits ("-60.0011").
enum class RealForm { kNr3, kShort };

// Comma-separated reals, nine significant digits.
std::string FormatList(const std::vector<double>& values, RealForm form);
std::string FormatReal(double value, RealForm form);

}  // namespace emulator
