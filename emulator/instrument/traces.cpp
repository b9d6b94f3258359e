#include "emulator/instrument/traces.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace emulator {

namespace {

constexpr double kStartOffsetHz = 1.0;
constexpr double kStopOffsetHz = 40e6;

struct Spur {
    double offsetHz;
    double levelDbc;
};
// Mains harmonics, a reference leak and a synthesizer spur.
constexpr Spur kSpurs[] = {{50.0, -85.0}, {150.0, -100.0}, {10e3, -125.0}, {1.25e6, -135.0}};

// Deterministic "measurement noise" in [-0.5, 0.5): the same trace every time.
double Jitter(std::uint64_t index, std::uint64_t seed) {
    std::uint64_t z = index * 0x9E3779B97F4A7C15ull + seed * 0xD1B54A32D192ED03ull + 1;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ull << 53) - 0.5;
}

std::vector<double> LogSpaced(double start, double stop, int n) {
    std::vector<double> x(static_cast<std::size_t>(n));
    double ratio = n > 1 ? std::log(stop / start) / (n - 1) : 0.0;
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = start * std::exp(ratio * i);
    if (n > 1) x.back() = stop;
    return x;
}

std::vector<double> LinSpaced(double start, double stop, int n) {
    std::vector<double> x(static_cast<std::size_t>(n));
    double step = n > 1 ? (stop - start) / (n - 1) : 0.0;
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = start + step * i;
    return x;
}

double Db(double linear) { return 10.0 * std::log10(linear); }
double Linear(double db) { return std::pow(10.0, db / 10.0); }

// Noise with a flicker corner and a floor, as AM and baseband noise look.
double FlickerModel(double offsetHz, double atOneHzDb, double floorDb) {
    return Db(Linear(atOneHzDb) / offsetHz + Linear(floorDb));
}

std::vector<double> NoiseCurve(const std::vector<double>& x, double (*model)(double), std::uint64_t seed) {
    std::vector<double> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        // Fewer averages fit into the low offsets, so the trace is rougher there.
        double roughness = x[i] < 100.0 ? 2.0 : 1.0;
        y[i] = model(x[i]) + roughness * Jitter(i, seed);
    }
    return y;
}

void AddSpurs(const std::vector<double>& x, std::vector<double>& y) {
    if (x.size() < 2) return;
    for (const Spur& spur : kSpurs) {
        if (spur.offsetHz < x.front() || spur.offsetHz > x.back()) continue;
        auto it = std::lower_bound(x.begin(), x.end(), spur.offsetHz);
        std::size_t i = static_cast<std::size_t>(it - x.begin());
        if (i > 0 &&
            (i == x.size() || std::abs(std::log(x[i - 1] / spur.offsetHz)) < std::abs(std::log(x[i] / spur.offsetHz))))
            --i;
        y[i] = std::max(y[i], spur.levelDbc);
    }
}

double AmModel(double f) { return FlickerModel(f, -110.0, -170.0); }
double BasebandModel(double f) { return FlickerModel(f, -120.0, -165.0); }

// The X axis a sweep asks for, or the application's own range when the sweep
// names none or one the axis cannot show (a logarithmic axis starts above 0).
std::vector<double> Axis(const Sweep& sweep, double start, double stop, bool logarithmic) {
    const int points = std::max(sweep.points, 2);
    const bool given = sweep.stop > sweep.start && (!logarithmic || sweep.start > 0.0);
    if (given) {
        start = sweep.start;
        stop = sweep.stop;
    }
    return logarithmic ? LogSpaced(start, stop, points) : LinSpaced(start, stop, points);
}

Trace PhaseNoiseTrace(const Sweep& sweep, std::uint64_t seed) {
    Trace t;
    t.x = Axis(sweep, kStartOffsetHz, kStopOffsetHz, true);
    t.y = NoiseCurve(t.x, PhaseNoiseModel, seed);
    AddSpurs(t.x, t.y);
    return t;
}

Trace SpectrumTrace(const Sweep& sweep) {
    Trace t;
    constexpr double span = 1e6;
    t.x = Axis(sweep, kCarrierHz - span / 2, kCarrierHz + span / 2, false);
    t.y.resize(t.x.size());
    for (std::size_t i = 0; i < t.x.size(); ++i) {
        double delta = std::abs(t.x[i] - kCarrierHz);
        double skirt = kCarrierDbm - 20.0 * std::log10(1.0 + delta / 1e3);
        t.y[i] = Db(Linear(skirt) + Linear(-100.0)) + 0.5 * Jitter(i, 5);
    }
    return t;
}

Trace FrequencyPowerTrace(int trace, const Sweep& sweep) {
    Trace t;
    t.x = Axis(sweep, 0.0, 10.0, false);  // control voltage
    t.y.resize(t.x.size());
    for (std::size_t i = 0; i < t.x.size(); ++i) {
        double v = t.x[i] - 5.0;
        switch ((trace - 1) % 4) {
            case 0:
                t.y[i] = kCarrierHz + 2e6 * v + 5e4 * v * v;
                break;  // frequency, Hz
            case 1:
                t.y[i] = kCarrierDbm - 0.05 * v * v + 0.01 * Jitter(i, 7);
                break;  // power, dBm
            case 2:
                t.y[i] = 0.05 + 0.001 * t.x[i];
                break;  // supply current, A
            default:
                t.y[i] = 2e6 + 1e5 * v;
                break;  // tuning sensitivity, Hz/V
        }
    }
    return t;
}

Trace TransientTrace(int trace, const Sweep& sweep) {
    Trace t;
    t.x = Axis(sweep, 0.0, 10e-3, false);  // time after the trigger
    t.y.resize(t.x.size());
    for (std::size_t i = 0; i < t.x.size(); ++i) {
        double s = t.x[i];
        double ring = std::exp(-s / 1e-3) * std::cos(2.0 * std::numbers::pi * 2e3 * s);
        t.y[i] =
            trace % 2 == 1 ? 1e5 * ring : 30.0 * std::exp(-s / 1.5e-3) * std::sin(2.0 * std::numbers::pi * 2e3 * s);
    }
    return t;
}

}  // namespace

double PhaseNoiseModel(double offsetHz) {
    // -60 dBc/Hz at 1 Hz falling 30 dB/decade, then 20 dB/decade, then the floor.
    const double f = offsetHz;
    return Db(1e-6 / (f * f * f) + 6.3e-9 / (f * f) + Linear(-165.0));
}

std::optional<Application> ApplicationOf(const std::string& node) {
    std::string letters;
    for (char c : node) {
        if (c >= '0' && c <= '9') break;
        letters += c;
    }
    static const std::pair<const char*, Application> kNames[] = {
        {"PN", Application::PhaseNoise},     {"AM", Application::AmNoise},         {"BB", Application::Baseband},
        {"FP", Application::FrequencyPower}, {"SP", Application::SpectrumMonitor}, {"TR", Application::Transient},
        {"USER", Application::User}};
    for (const auto& [name, app] : kNames) {
        if (letters == name) return app;
    }
    return std::nullopt;
}

std::optional<TraceQuery> ClassifyTraceQuery(const std::vector<std::string>& nodes) {
    if (nodes.size() < 3 || nodes[0] != "CALC") return std::nullopt;
    std::optional<Application> app = ApplicationOf(nodes[1]);
    if (!app) return std::nullopt;
    TraceQuery query{*app, 1, TraceKind::Formatted};
    bool perTrace = false;
    for (const std::string& node : nodes) {
        if (node.rfind("TRAC", 0) == 0 && node.size() >= 4) {
            perTrace = true;
            query.trace = node.size() > 4 ? std::atoi(node.c_str() + 4) : 1;
        }
    }
    const std::string& last = nodes.back();
    const std::string& before = nodes[nodes.size() - 2];
    if (last == "LDAT" && nodes.size() >= 4 && nodes[nodes.size() - 3] == "LIM") {
        if (before == "UPP")
            query.kind = TraceKind::LimitUpper;
        else if (before == "LOW")
            query.kind = TraceKind::LimitLower;
        else
            return std::nullopt;
        return query;
    }
    if (before != "DATA") return std::nullopt;
    static const std::pair<const char*, TraceKind> kKinds[] = {
        {"FDAT", TraceKind::Formatted},   {"FMEM", TraceKind::Formatted}, {"UDAT", TraceKind::Unformatted},
        {"UMEM", TraceKind::Unformatted}, {"PDAT", TraceKind::Power},     {"PMEM", TraceKind::Power},
        {"SDAT", TraceKind::Spurious},    {"SMEM", TraceKind::Spurious},  {"RDAT", TraceKind::Raw},
        {"XDAT", TraceKind::XAxis},       {"CARR", TraceKind::Carrier},   {"TDAT", TraceKind::Tester}};
    for (const auto& [name, kind] : kKinds) {
        if (last == name) {
            query.kind = kind;
            // The application-wide raw data transfers have no trace node.
            if (!perTrace && kind == TraceKind::Formatted) return std::nullopt;
            return query;
        }
    }
    return std::nullopt;
}

Trace MeasuredTrace(Application app, int trace, const Sweep& sweep) {
    switch (app) {
        case Application::PhaseNoise:
        case Application::User:
            return PhaseNoiseTrace(sweep, 1);
        case Application::AmNoise: {
            Trace t{Axis(sweep, kStartOffsetHz, kStopOffsetHz, true), {}};
            t.y = NoiseCurve(t.x, AmModel, 2);
            return t;
        }
        case Application::Baseband: {
            Trace t{Axis(sweep, kStartOffsetHz, kStopOffsetHz, true), {}};
            t.y = NoiseCurve(t.x, BasebandModel, 3);
            return t;
        }
        case Application::SpectrumMonitor:
            return SpectrumTrace(sweep);
        case Application::FrequencyPower:
            return FrequencyPowerTrace(trace, sweep);
        case Application::Transient:
            return TransientTrace(trace, sweep);
    }
    return {};
}

std::vector<double> TraceList(const TraceQuery& query, const Sweep& sweep) {
    Trace trace = MeasuredTrace(query.app, query.trace, sweep);
    switch (query.kind) {
        case TraceKind::Formatted:
        case TraceKind::Tester:
            return trace.y;
        case TraceKind::XAxis:
            return trace.x;
        case TraceKind::Unformatted:
        case TraceKind::Raw: {
            bool decibels = query.app != Application::FrequencyPower && query.app != Application::Transient;
            if (!decibels) return trace.y;
            for (double& v : trace.y) v = Linear(v);
            return trace.y;
        }
        case TraceKind::Power: {
            std::vector<double> power(trace.x.size());
            for (std::size_t i = 0; i < power.size(); ++i) power[i] = kCarrierDbm + 0.02 * Jitter(i, 11);
            return power;
        }
        case TraceKind::Spurious: {
            std::vector<double> pairs;
            for (const Spur& spur : kSpurs) {
                pairs.push_back(spur.offsetHz);
                pairs.push_back(spur.levelDbc);
            }
            return pairs;
        }
        case TraceKind::Carrier:
            return {kCarrierHz, kCarrierDbm};
        case TraceKind::LimitUpper:
        case TraceKind::LimitLower: {
            double margin = query.kind == TraceKind::LimitUpper ? 10.0 : -10.0;
            for (double& v : trace.y) v += margin;
            return trace.y;
        }
    }
    return trace.y;
}

double Interpolate(const Trace& trace, double x) {
    if (trace.x.empty()) return 0.0;
    if (x <= trace.x.front()) return trace.y.front();
    if (x >= trace.x.back()) return trace.y.back();
    auto it = std::upper_bound(trace.x.begin(), trace.x.end(), x);
    std::size_t hi = static_cast<std::size_t>(it - trace.x.begin()), lo = hi - 1;
    bool logAxis = trace.x.front() > 0.0 && trace.x.back() / trace.x.front() > 1e3;
    double t = logAxis ? std::log(x / trace.x[lo]) / std::log(trace.x[hi] / trace.x[lo])
                       : (x - trace.x[lo]) / (trace.x[hi] - trace.x[lo]);
    return trace.y[lo] + t * (trace.y[hi] - trace.y[lo]);
}

std::vector<double> Statistics(const std::vector<double>& y) {
    if (y.empty()) return {0.0, 0.0, 0.0};
    double sum = 0.0;
    for (double v : y) sum += v;
    double mean = sum / static_cast<double>(y.size());
    double squares = 0.0;
    for (double v : y) squares += (v - mean) * (v - mean);
    auto [lo, hi] = std::minmax_element(y.begin(), y.end());
    return {mean, std::sqrt(squares / static_cast<double>(y.size())), *hi - *lo};
}

namespace {

// Integrated noise (dBc), range, RMS phase, jitter and residual FM from the
// single-sideband power and its f²-weighted sum.
std::vector<double> IntegralResults(double power, double fmWeighted, double rangeHz) {
    double rad = std::sqrt(2.0 * power);
    return {Db(std::max(power, 1e-300)),
            rangeHz,
            rad,
            rad * 180.0 / std::numbers::pi,
            rad / (2.0 * std::numbers::pi * kCarrierHz),
            std::sqrt(2.0 * fmWeighted)};
}

// Adds the trapezoid integrals of L(f) and L(f)·f² between the offsets.
void Accumulate(const Trace& pn, double startHz, double stopHz, double* power, double* fm) {
    for (std::size_t i = 1; i < pn.x.size(); ++i) {
        double a = std::max(pn.x[i - 1], startHz), b = std::min(pn.x[i], stopHz);
        if (b <= a) continue;
        double la = Linear(Interpolate(pn, a)), lb = Linear(Interpolate(pn, b));
        *power += 0.5 * (la + lb) * (b - a);
        *fm += 0.5 * (la * a * a + lb * b * b) * (b - a);
    }
}

}  // namespace

std::vector<double> IntegratedNoise(const Trace& pn, double startHz, double stopHz) {
    double power = 0.0, fm = 0.0;
    Accumulate(pn, startHz, stopHz, &power, &fm);
    return IntegralResults(power, fm, stopHz - startHz);
}

std::vector<double> MeasuredIntegral(Application app, int trace, const Sweep& sweep, double startHz, double stopHz) {
    if (app != Application::PhaseNoise && app != Application::User) {
        return IntegratedNoise(MeasuredTrace(app, trace, sweep), startHz, stopHz);
    }
    // A spur is a line of its own power (dBc), not a density spread over the
    // width of its trace point: integrate the noise alone, then add the spurs.
    Trace noise{Axis(sweep, kStartOffsetHz, kStopOffsetHz, true), {}};
    noise.y = NoiseCurve(noise.x, PhaseNoiseModel, 1);
    double power = 0.0, fm = 0.0;
    Accumulate(noise, startHz, stopHz, &power, &fm);
    for (const Spur& spur : kSpurs) {
        if (spur.offsetHz < startHz || spur.offsetHz > stopHz) continue;
        power += Linear(spur.levelDbc);
        fm += Linear(spur.levelDbc) * spur.offsetHz * spur.offsetHz;
    }
    return IntegralResults(power, fm, stopHz - startHz);
}

std::vector<double> AllanVariance(const Trace& pn, double tau, double cutoffHz) {
    if (tau <= 0.0 || cutoffHz <= 0.0) return {0.0, 0.0};
    double variance = 0.0;
    for (std::size_t i = 1; i < pn.x.size() && pn.x[i - 1] < cutoffHz; ++i) {
        double f = 0.5 * (pn.x[i - 1] + pn.x[i]);
        double sPhi = 2.0 * Linear(Interpolate(pn, f));
        double sY = f * f / (kCarrierHz * kCarrierHz) * sPhi;
        double u = std::numbers::pi * tau * f;
        variance += 2.0 * sY * std::pow(std::sin(u), 4) / (u * u) * (std::min(pn.x[i], cutoffHz) - pn.x[i - 1]);
    }
    return {variance, IntegratedNoise(pn, pn.x.front(), cutoffHz)[4]};
}

namespace {

// Whether a point of the trace lies on the wrong side of one of the segments.
bool Crosses(const Trace& trace, const std::vector<double>& segments, bool upper) {
    for (std::size_t s = 0; s + 3 < segments.size(); s += 4) {
        const Trace line{{segments[s], segments[s + 2]}, {segments[s + 1], segments[s + 3]}};
        const bool logAxis = line.x[0] > 0.0 && trace.x.front() > 0.0 && trace.x.back() / trace.x.front() > 1e3;
        for (std::size_t i = 0; i < trace.x.size(); ++i) {
            const double x = trace.x[i];
            if (x < line.x[0] || x > line.x[1] || line.x[1] <= line.x[0]) continue;
            const double t = logAxis ? std::log(x / line.x[0]) / std::log(line.x[1] / line.x[0])
                                     : (x - line.x[0]) / (line.x[1] - line.x[0]);
            const double limit = line.y[0] + t * (line.y[1] - line.y[0]);
            if (upper ? trace.y[i] > limit : trace.y[i] < limit) return true;
        }
    }
    return false;
}

}  // namespace

bool LimitFails(const Trace& trace, const std::vector<double>& upperSegments,
                const std::vector<double>& lowerSegments) {
    return Crosses(trace, upperSegments, true) || Crosses(trace, lowerSegments, false);
}

std::vector<double> LinearRegression(const Trace& trace) {
    double n = static_cast<double>(trace.x.size());
    if (n < 2) return {0.0, 0.0};
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < trace.x.size(); ++i) {
        sx += trace.x[i];
        sy += trace.y[i];
        sxx += trace.x[i] * trace.x[i];
        sxy += trace.x[i] * trace.y[i];
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return {slope, (sy - slope * sx) / n};
}

namespace {

// Appends one real as `form` says; "%.9E" and "%.9g" of printf, without its locale.
void AppendReal(std::string* text, double value, RealForm form) {
    char buffer[32];
    const bool nr3 = form == RealForm::kNr3;
    auto result = nr3 ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 9)
                      : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    const std::size_t start = text->size();
    text->append(buffer, result.ptr);
    if (nr3) {
        const std::size_t e = text->find('e', start);
        if (e != std::string::npos) (*text)[e] = 'E';
    }
}

}  // namespace

std::string FormatReal(double value, RealForm form) {
    std::string text;
    AppendReal(&text, value, form);
    return text;
}

std::string FormatList(const std::vector<double>& values, RealForm form) {
    std::string text;
    text.reserve(values.size() * 17);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) text += ',';
        AppendReal(&text, values[i], form);
    }
    return text;
}

}  // namespace emulator
