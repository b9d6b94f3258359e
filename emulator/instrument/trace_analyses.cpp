// The analyses of a measured trace ("CALC:PN:TRAC1:FUNC:STAT:DATA?") and
// its marker readings.
#include <cstdlib>
#include <utility>

#include "emulator/instrument/error_texts.h"
#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/instrument.h"

namespace emulator {

namespace {

// The trace an analysis or marker query works on: the nodes up to TRAC<n>.
std::optional<TraceQuery> TraceOf(const std::vector<std::string>& nodes) {
    if (nodes.size() < 3 || nodes[0] != "CALC") return std::nullopt;
    std::optional<Application> app = ApplicationOf(nodes[1]);
    if (!app) return std::nullopt;
    TraceQuery query{*app, 1, TraceKind::Formatted};
    if (nodes[2].rfind("TRAC", 0) == 0) query.trace = nodes[2].size() > 4 ? std::atoi(nodes[2].c_str() + 4) : 1;
    return query;
}

std::vector<double> Numbers(std::string_view params) {
    std::vector<double> values;
    for (const std::string& p : scpi::SplitParameters(params)) {
        if (std::optional<double> v = scpi::Number(p)) values.push_back(*v);
    }
    return values;
}

}  // namespace

struct Instrument::Analysis {
    HeaderPattern pattern;
    bool query;
    Reply (*run)(Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep);
};

const Instrument::Analysis Instrument::kAnalyses[] = {
    {"CALC:APP:**:FUNC:STAT:DATA CALC:APP:**:FUNC:STAT:MEM", true,
     [](Instrument& self, const scpi::Unit&, const TraceQuery& trace, const Sweep& sweep) {
         return Answer(FormatList(Statistics(MeasuredTrace(trace.app, trace.trace, sweep).y), self.realForm()));
     }},
    {"CALC:APP:**:FUNC:INT:DATA CALC:APP:**:FUNC:INT:MEM", true,
     [](Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep) {
         // The integration range is the X band marker's, 1 kHz to 10 MHz until one is set.
         const std::vector<std::string> traceNodes(unit.nodes.begin(), unit.nodes.end() - 3);
         const std::vector<double> start = self.StoredNumbers(traceNodes, {"BDM", "X", "STAR"});
         const std::vector<double> stop = self.StoredNumbers(traceNodes, {"BDM", "X", "STOP"});
         double from = start.empty() ? 1e3 : start[0], to = stop.empty() ? 1e7 : stop[0];
         if (to <= from) std::swap(from, to);
         return Answer(FormatList(MeasuredIntegral(trace.app, trace.trace, sweep, from, to), self.realForm()));
     }},
    {"CALC:APP:**:LIM:FAIL", true,
     [](Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep) {
         const std::vector<std::string> traceNodes(unit.nodes.begin(), unit.nodes.end() - 2);
         bool fails = LimitFails(MeasuredTrace(trace.app, trace.trace, sweep),
                                 self.StoredNumbers(traceNodes, {"LIM", "UPP", "SEGM", "DATA"}),
                                 self.StoredNumbers(traceNodes, {"LIM", "LOW", "SEGM", "DATA"}));
         return Answer(fails ? "1" : "0");
     }},
    {"CALC:APP:**:FUNC:AVAR:DATA CALC:APP:**:FUNC:AVAR:MEM", true,
     [](Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep) {
         std::vector<double> args = Numbers(unit.params);
         if (args.size() < 2) {
             self.ReportError(kMissingParameter, unit.header);
             return Reply{};
         }
         Trace measured = MeasuredTrace(trace.app, trace.trace, sweep);
         return Answer(FormatList(AllanVariance(measured, args[0], args[1]), self.realForm()));
     }},
    {"CALC:APP:**:FUNC:LREG:DATA CALC:APP:**:FUNC:LREG:MEM", true,
     [](Instrument& self, const scpi::Unit&, const TraceQuery& trace, const Sweep& sweep) {
         return Answer(FormatList(LinearRegression(MeasuredTrace(trace.app, trace.trace, sweep)), self.realForm()));
     }},
    {"CALC:APP:**:MARK*:Y", true,
     [](Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep) {
         std::vector<std::string> xNodes = unit.nodes;
         xNodes.back().assign(1, 'X');
         std::optional<std::string> x = self.Setting(scpi::JoinNodes(xNodes));
         std::optional<double> at = x ? scpi::Number(*x) : std::nullopt;
         Trace measured = MeasuredTrace(trace.app, trace.trace, sweep);
         return Answer(FormatReal(Interpolate(measured, at ? *at : measured.x.front()), self.realForm()));
     }},
};

std::vector<double> Instrument::StoredNumbers(std::vector<std::string> nodes,
                                              std::initializer_list<const char*> tail) const {
    nodes.insert(nodes.end(), tail.begin(), tail.end());
    std::optional<std::string> text = Setting(scpi::JoinNodes(nodes));
    return text ? Numbers(*text) : std::vector<double>{};
}

Instrument::ReplyOrSetting Instrument::RunAnalysis(const scpi::Unit& unit) {
    const Analysis* analysis = FindEntry(kAnalyses, unit);
    std::optional<TraceQuery> trace = TraceOf(unit.nodes);
    if (!analysis || !trace) return std::nullopt;
    return analysis->run(*this, unit, *trace, SweepOf(trace->app));
}

}  // namespace emulator
