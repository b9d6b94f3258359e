// doctor: a bounded series of checks of the link to an instrument, one
// line each: PASS, WARN or FAIL with its figure.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"
#include "apps/ztv/raw_link.h"

namespace ztv_tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLatencyQueries = 200;
constexpr auto kLatencyBudget = std::chrono::seconds(5);
// Above this median a snapshot of every setting (a few thousand reads and
// writes) would not fit the doctor's time bound: the checks that change
// settings are then left out.
constexpr double kSlowLinkMs = 5;
constexpr std::size_t kLargestProbe = 16u << 20;
constexpr ViInt32 kServiceRequestWaitMs = 2000;
// The trace whose size the doctor sets: frequency-power traces take any
// number of sweep points up to the instrument's largest.
constexpr const char* kLargestTrace = "CALC:FP1:TRAC1:DATA:FDAT?";

enum class Verdict { Pass, Warn, Fail };

struct Finding {
    std::string check;
    Verdict verdict;
    std::string figure;
};

const char* Name(Verdict v) { return v == Verdict::Pass ? "PASS" : v == Verdict::Warn ? "WARN" : "FAIL"; }

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string Hex(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// How the transport of a resource learns of a service request.
std::string ServiceRequestPath(const std::string& resource) {
    std::string upper;
    for (char c : resource) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find("HISLIP") != std::string::npos) return "asynchronous channel (HiSLIP)";
    if (upper.rfind("USB", 0) == 0) return "interrupt-IN (USBTMC)";
    if (upper.rfind("TCPIP", 0) == 0 && upper.find("SOCKET") == std::string::npos) return "interrupt channel (VXI-11)";
    return "polling the status byte";
}

class Doctor {
public:
    Doctor(Session& s, RawLink link) : s_(s), link_(std::move(link)) {}

    std::vector<Finding> Run() {
        const bool supported = Identity();
        Errors();
        const double median = Latency();
        if (!supported) return findings_;
        if (median > kSlowLinkMs) {
            Add("settings", Verdict::Warn,
                Format("not saved: replies take %.1f ms, too slow to save and restore every setting; "
                       "throughput, stale-reply, clear, service-request and block checks left out",
                       median));
            return findings_;
        }
        std::string snapshot;
        if (!TakeSnapshot(s_, &snapshot)) {
            Add("settings", Verdict::Fail, "could not be saved; no check that changes them was run");
            return findings_;
        }
        // The block probe leaves the largest trace set up, which the
        // throughput and stale-reply checks then read as text.
        LargestBlock();
        Throughput();
        StaleReply();
        ClearAndStatusByte();
        ServiceRequest();
        Restore(snapshot);
        return findings_;
    }

private:
    void Add(std::string check, Verdict verdict, std::string figure) {
        findings_.push_back({std::move(check), verdict, std::move(figure)});
    }

    bool Identity() {
        const std::optional<std::string> idn = link_.Query("*IDN?");
        if (!idn) {
            Add("identity", Verdict::Fail, "no reply to *IDN?: " + link_.error());
            return false;
        }
        identity_ = Trimmed(*idn);
        char models[256] = "";
        Ztv_GetAttributeViString(s_.vi(), "", IVI_ATTR_SUPPORTED_INSTRUMENT_MODELS, sizeof models, models);
        const std::size_t first = identity_.find(','), second = identity_.find(',', first + 1);
        const std::string model = first == std::string::npos ? "" : identity_.substr(first + 1, second - first - 1);
        std::string list = std::string(",") + models + ",";
        const bool supported = !model.empty() && list.find("," + model + ",") != std::string::npos;
        Add("identity", supported ? Verdict::Pass : Verdict::Fail,
            identity_ + (supported ? " (supported)" : " (model " + model + " not supported: " + models + ")"));
        return supported;
    }

    void Errors() {
        std::vector<std::string> errors;
        for (int i = 0; i < 100; ++i) {
            const std::optional<std::string> reply = link_.Query("SYST:ERR?");
            if (!reply) {
                Add("error queue", Verdict::Fail, "SYST:ERR? not answered: " + link_.error());
                return;
            }
            const std::string entry = Trimmed(*reply);
            if (entry.rfind("0,", 0) == 0 || entry.rfind("+0,", 0) == 0) break;
            errors.push_back(entry);
        }
        std::string shown;
        for (const std::string& e : errors) shown += (shown.empty() ? "" : "; ") + e;
        if (errors.empty())
            Add("error queue", Verdict::Pass, "empty");
        else
            Add("error queue", Verdict::Warn, std::to_string(errors.size()) + " drained: " + shown);
    }

    // The median reply time in ms.
    double Latency() {
        std::vector<double> times;
        const Clock::time_point begin = Clock::now();
        for (int i = 0; i < kLatencyQueries && Clock::now() - begin < kLatencyBudget; ++i) {
            const Clock::time_point start = Clock::now();
            if (!link_.Query("*OPC?")) {
                Add("latency", Verdict::Fail, "*OPC? not answered: " + link_.error());
                return INFINITY;
            }
            times.push_back(MillisecondsSince(start));
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        const double p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
        const Verdict verdict = p99 <= 50 ? Verdict::Pass : p99 <= 500 ? Verdict::Warn : Verdict::Fail;
        std::string figure = Format("median %.3f ms, 99th percentile %.3f ms over %.0f queries", median, p99,
                                    static_cast<double>(times.size()));
        if (times.size() < kLatencyQueries) figure += " (stopped at the 5 s bound)";
        Add("latency", verdict, figure);
        return median;
    }

    void Throughput() {
        const Clock::time_point start = Clock::now();
        const std::optional<std::string> trace =
            link_.Send("FORM:DATA ASC") ? link_.Query(kLargestTrace) : std::nullopt;
        const double seconds = MillisecondsSince(start) / 1000;
        if (!trace) {
            Add("throughput", Verdict::Fail, "trace not read: " + link_.error());
            return;
        }
        const double values = static_cast<double>(std::count(trace->begin(), trace->end(), ',') + 1);
        Add("throughput", Verdict::Pass,
            Format("%.2f MB/s, %.0f values/s", static_cast<double>(trace->size()) / 1e6 / seconds, values / seconds) +
                Format(" (%.0f values in %.1f ms)", values, seconds * 1000));
    }

    // A reply that arrives after its query timed out must not be taken for
    // the reply of the next query.
    void StaleReply() {
        const long timeout = link_.Timeout();
        link_.SetTimeout(1);
        const bool timedOut = !link_.Query(kLargestTrace);
        link_.SetTimeout(timeout);
        const std::optional<std::string> idn = link_.Query("*IDN?");
        if (!idn)
            Add("stale reply", Verdict::Fail, "*IDN? not answered after a timed-out query: " + link_.error());
        else if (Trimmed(*idn) != identity_)
            Add("stale reply", Verdict::Fail, "the next query read another reply: " + idn->substr(0, 40));
        else if (!timedOut)
            Add("stale reply", Verdict::Warn, "not provoked: the trace arrived within 1 ms");
        else
            Add("stale reply", Verdict::Pass, "a query timed out after 1 ms; the next query got its own reply");
    }

    void ClearAndStatusByte() {
        const Clock::time_point start = Clock::now();
        const bool cleared = link_.Clear();
        const double ms = MillisecondsSince(start);
        const std::optional<int> stb = link_.StatusByte();
        const bool answers = cleared && link_.Query("*IDN?").has_value();
        if (!stb) {
            Add("clear, status byte", Verdict::Fail, "status byte not read: " + link_.error());
        } else if (!cleared) {
            Add("clear, status byte", Verdict::Warn,
                "no device clear on this link (" + link_.error() + "); status byte " + Hex(*stb));
        } else {
            Add("clear, status byte", answers ? Verdict::Pass : Verdict::Fail,
                Format("device clear %.1f ms, status byte ", ms) + Hex(*stb) +
                    (answers ? "" : "; no reply after the clear"));
        }
    }

    void ServiceRequest() {
        char resource[512] = "";
        Ztv_GetAttributeViString(s_.vi(), "", IVI_ATTR_IO_RESOURCE_DESCRIPTOR, sizeof resource, resource);
        const std::string path = ServiceRequestPath(resource);
        link_.Send("*CLS;*ESE 1;*SRE 32");
        link_.Query("*OPC?");  // the settings above are in effect
        const Clock::time_point start = Clock::now();
        link_.Send("*OPC");
        ViInt16 stb = 0;
        const ViStatus status = Ztv_WaitForServiceRequest(s_.vi(), kServiceRequestWaitMs, &stb);
        const double ms = MillisecondsSince(start);
        link_.Send("*SRE 0;*ESE 0;*CLS");
        if (status < 0) {
            Add("service request", Verdict::Fail,
                path + Format(": none within %.0f ms of *OPC", kServiceRequestWaitMs));
        } else {
            Add("service request", ms <= 100 ? Verdict::Pass : Verdict::Warn,
                path + Format(": delivered %.1f ms after *OPC, status byte ", ms) + Hex(stb));
        }
    }

    // Frequency-power traces as 64-bit reals: blocks from 1 KiB up to the
    // instrument's largest trace or 16 MiB, whichever comes first.
    void LargestBlock() {
        std::size_t intact = 0;
        bool limited = false;
        link_.Send("FORM:DATA REAL,64");
        for (std::size_t points = 128; points * 8 <= kLargestProbe && !limited; points *= 2) {
            link_.Send("SOUR:FP1:SWE:POIN " + std::to_string(points));
            const std::optional<std::string> block = link_.Query(kLargestTrace);
            std::size_t length = 0;
            const std::size_t header = block ? BlockHeaderSize(*block, &length) : 0;
            if (!block || header == 0 || length % 8 != 0 || block->size() < header + length) {
                Add("largest block", Verdict::Fail,
                    Format("a block of %.0f points did not arrive intact", static_cast<double>(points)) +
                        (intact ? Format("; %.0f bytes did", static_cast<double>(intact)) : std::string()) +
                        (block ? "" : ": " + link_.error()));
                return;
            }
            intact = length;
            limited = length < points * 8;  // the instrument sent all it has
        }
        Add("largest block", Verdict::Pass,
            Format("%.0f bytes intact", static_cast<double>(intact)) +
                (limited ? " (the instrument's largest trace)" : " (16 MiB probed)"));
    }

    void Restore(const std::string& snapshot) {
        ViInt32 refused = 0;
        std::vector<ViChar> report(1 << 16);
        const ViStatus status = Ztv_RestoreSnapshot(s_.vi(), snapshot.c_str(), static_cast<ViInt32>(report.size()),
                                                    report.data(), &refused);
        if (status < 0 || refused > 0) {
            Add("settings", Verdict::Warn,
                Format("restored with %.0f refused: ", refused) + std::string(report.data()).substr(0, 200));
        } else {
            Add("settings", Verdict::Pass, "saved before the checks and restored after them");
        }
    }

    Session& s_;
    RawLink link_;
    std::string identity_;
    std::vector<Finding> findings_;
};

// The findings in the order a reader expects them, whatever order they ran in.
std::vector<Finding> Ordered(std::vector<Finding> findings) {
    static const char* const kOrder[] = {"identity",        "error queue",   "latency",
                                         "throughput",      "stale reply",   "clear, status byte",
                                         "service request", "largest block", "settings"};
    auto rank = [](const Finding& f) {
        return std::find_if(std::begin(kOrder), std::end(kOrder), [&](const char* c) { return f.check == c; }) -
               std::begin(kOrder);
    };
    std::stable_sort(findings.begin(), findings.end(),
                     [&](const Finding& a, const Finding& b) { return rank(a) < rank(b); });
    return findings;
}

int Report(const std::vector<Finding>& findings, bool json) {
    const bool failed =
        std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.verdict == Verdict::Fail; });
    if (json) {
        nlohmann::ordered_json checks = nlohmann::ordered_json::array();
        for (const Finding& f : findings)
            checks.push_back({{"check", f.check}, {"result", Name(f.verdict)}, {"figure", f.figure}});
        std::printf("%s\n", nlohmann::ordered_json{{"healthy", !failed}, {"checks", checks}}.dump(2).c_str());
    } else {
        for (const Finding& f : findings)
            std::printf("%s  %-18s %s\n", Name(f.verdict), f.check.c_str(), f.figure.c_str());
    }
    return failed ? kExitFailed : kExitOk;
}

}  // namespace

Runner AddDoctor(CLI::App& parent, const Globals& globals) {
    CLI::App* command =
        parent.add_subcommand("doctor", "check the connection to the instrument: PASS, WARN or FAIL a check");
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, "print the findings as one JSON document");
    return [=, &globals] {
        return WithSession(
            globals,
            [&](Session& s) {
                std::string error;
                std::optional<RawLink> link = RawLink::Of(s.vi(), &error);
                if (!link) {
                    std::fprintf(stderr, "ztv: doctor: %s\n", error.c_str());
                    return kExitFailed;
                }
                return Report(Ordered(Doctor(s, std::move(*link)).Run()), *json);
            },
            StatusQuery::Off, false);
    };
}

}  // namespace ztv_tool
