#include "emulator/instrument/default_settings.h"

#include <optional>
#include <utility>

#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/traces.h"

namespace emulator {

namespace {

struct Entry {
    HeaderPattern pattern;
    const char* value;
};

// Whole headers first, then endings; the first match wins.
const Entry kWhole[] = {
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

const Entry kEndings[] = {
    {"**:SEAR:PEAK:POL", "POS"}, {"**:SEAR:TARG:TRAN", "POS"}, {"**:SEAR:TRAC:TYPE", "OFF"},
    {"**:FUNC:TYPE", "OFF"},     {"**:HOLD", "OFF"},           {"**:MATH:FUNC", "NORM"},
    {"**:DOM:X", "FRAN"},        {"**:DOM:Y", "FRAN"},         {"**:SEGT:MEAS:QUAL", "NORM"},
    {"**:ANN:MARK:POS", "LEFT"}, {"**:FBAN", "BAND1"},         {"**:SOUR", "INT"},
    {"**:CRAN", "NORM"},         {"**:LOB", "NARR"},           {"**:ROSC:BAND", "NARR"},
    {"**:AVER:TYPE", "RMS"},     {"**:DET:FUNC", "POS"},       {"**:X:TYPE", "LOG"},
    {"**:VID:MODE", "IN"},       {"**:FORM:PHAS:UNIT", "DEG"}, {"**:FORM:FREQ", "HZ"},
    {"**:TRAC:MODE", "DATA"},    {"**:AVER:COUN", "1"},        {"**:CORR:COUN", "1"},
    {"**:PTR", "32767"},
};

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
    for (const Entry& entry : kWhole) {
        if (entry.pattern.Matches(nodes)) return entry.value;
    }
    std::size_t n = nodes.size();
    if (n >= 2 && nodes[n - 2] == "SWE" && nodes[n - 1] == "POIN") return std::to_string(tracePoints);
    for (const Entry& entry : kEndings) {
        if (entry.pattern.Matches(nodes)) return entry.value;
    }
    return "0";
}

}  // namespace emulator
