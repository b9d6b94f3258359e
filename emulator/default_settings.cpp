#include "emulator/default_settings.h"

#include <optional>
#include <utility>

#include "emulator/scpi_parser.h"
#include "emulator/traces.h"

namespace emulator {

namespace {

struct Entry {
    const char* pattern;  // nodes joined by ":", "APP" standing for any application node
    const char* value;
};

// Whole headers first, then endings; the first match wins.
constexpr Entry kWhole[] = {
    {"SYST:DATE", "2024,3,14"},
    {"SYST:TIME", "12,0,0"},
    {"SYST:SEC:LEV", "NONE"},
    {"MMEM:STOR:STYP", "STAT"},
    {"DISP:ENAB", "1"},
    {"DISP:WIND:ACT", "PN1"},
    {"TRIG:MODE", "PN1"},
    {"TRIG:APP:MODE", "ANAL"},
    {"DISP:IMAG", "NORM"},
    {"HCOP:IMAG", "NORM"},
    {"TRIG:EXT:SLOP", "POS"},
    {"TRIG:OUTP:POL", "POS"},
    {"TRIG:OUTP:SEL", "EOM"},
    {"SENS:ROSC:SOUR", "INT"},
    {"SENS:UDC:MODE", "USB"},
    {"SENS:DCON:INP", "DIR"},
    {"FORM", "ASC"},
    {"FORM:DATA", "ASC"},
    {"FORM:BORD", "NORM"},
    {"DISP:MESS:DATA", "\"\""},
    {"DISP:ECHO:DATA", "\"\""},
    {"SENS:APP:FREQ:STAR", "1"},
    {"SENS:APP:FREQ:STOP", "40000000"},
    {"SENS:APP:FREQ:CENT", "1000000000"},
    {"SENS:APP:FREQ:SPAN", "1000000"},
    {"SENS:APP:FREQ:RES", "NARR"},
    {"SENS:APP:NARR:FREQ:RES", "R1"},
    {"SENS:APP:NARR:FREQ:RANG", "R80"},
    {"SENS:APP:COFR", "LOW"},
    {"SOUR:APP:SWE:PAR", "CONT"},
    {"CALC:APP:TRAC:PAR", "FREQ"},
};

constexpr Entry kEndings[] = {
    {"SEAR:PEAK:POL", "POS"}, {"SEAR:TARG:TRAN", "POS"}, {"SEAR:TRAC:TYPE", "OFF"},
    {"FUNC:TYPE", "OFF"},     {"HOLD", "OFF"},           {"MATH:FUNC", "NORM"},
    {"DOM:X", "FRAN"},        {"DOM:Y", "FRAN"},         {"SEGT:MEAS:QUAL", "NORM"},
    {"ANN:MARK:POS", "LEFT"}, {"FBAN", "BAND1"},         {"SOUR", "INT"},
    {"CRAN", "NORM"},         {"LOB", "NARR"},           {"ROSC:BAND", "NARR"},
    {"AVER:TYPE", "RMS"},     {"DET:FUNC", "POS"},       {"X:TYPE", "LOG"},
    {"VID:MODE", "IN"},       {"FORM:PHAS:UNIT", "DEG"}, {"FORM:FREQ", "HZ"},
    {"TRAC:MODE", "DATA"},    {"AVER:COUN", "1"},        {"CORR:COUN", "1"},
    {"PTR", "32767"},
};

bool Matches(const std::vector<std::string>& nodes, std::size_t first, const std::vector<std::string>& pattern) {
    if (nodes.size() - first != pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::string& node = nodes[first + i];
        if (pattern[i] == "APP" ? !ApplicationOf(node) : pattern[i] != node) return false;
    }
    return true;
}

std::vector<std::string> Split(const char* pattern) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = pattern;; ++p) {
        if (*p == ':' || *p == '\0') {
            parts.push_back(part);
            part.clear();
            if (*p == '\0') break;
        } else {
            part += *p;
        }
    }
    return parts;
}

// A table with its patterns split into nodes once, not on every query.
struct SplitEntry {
    std::vector<std::string> pattern;
    const char* value;
};
template <std::size_t N>
std::vector<SplitEntry> SplitTable(const Entry (&table)[N]) {
    std::vector<SplitEntry> split;
    for (const Entry& entry : table) split.push_back({Split(entry.pattern), entry.value});
    return split;
}

// Trace nodes carry their index ("TRAC2"); the tables name them without.
std::vector<std::string> WithoutTraceIndex(std::vector<std::string> nodes) {
    for (std::string& node : nodes) {
        if (node.rfind("TRAC", 0) == 0) node = "TRAC";
    }
    return nodes;
}

std::optional<std::string> FormatUnit(const std::vector<std::string>& nodes) {
    // "CALC:<app>:TRAC<n>:FORM": the unit depends on the application.
    if (nodes.size() != 4 || nodes[0] != "CALC" || nodes[2] != "TRAC" || nodes[3] != "FORM") return std::nullopt;
    std::optional<Application> app = ApplicationOf(nodes[1]);
    if (!app) return std::nullopt;
    if (*app == Application::Baseband) return "DBV";
    if (*app == Application::FrequencyPower) return "HZ";
    return "DBM";
}

}  // namespace

std::string DefaultSetting(const std::vector<std::string>& rawNodes, int tracePoints) {
    std::vector<std::string> nodes = WithoutTraceIndex(rawNodes);
    if (std::optional<std::string> unit = FormatUnit(nodes)) return *unit;
    static const std::vector<SplitEntry> whole = SplitTable(kWhole);
    static const std::vector<SplitEntry> endings = SplitTable(kEndings);
    for (const SplitEntry& entry : whole) {
        if (Matches(nodes, 0, entry.pattern)) return entry.value;
    }
    std::size_t n = nodes.size();
    if (n >= 2 && nodes[n - 2] == "SWE" && nodes[n - 1] == "POIN") return std::to_string(tracePoints);
    for (const SplitEntry& entry : endings) {
        if (entry.pattern.size() <= n && Matches(nodes, n - entry.pattern.size(), entry.pattern)) return entry.value;
    }
    return "0";
}

}  // namespace emulator
