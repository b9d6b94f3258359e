// The instrument's command table: each family of program message units
// (common commands, settings and data queries, analyses of a trace, the
// emulator's own commands) is a table of header patterns and handlers,
// searched once per unit. What no entry claims is a plain setting.
#include <algorithm>
#include <cmath>
#include <set>

#include "emulator/instrument/default_settings.h"
#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/instrument.h"
#include "emulator/instrument/screen_image.h"

namespace emulator {

namespace {

constexpr int kUndefinedHeader = -113;
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kDataTypeError = -104;
constexpr int kDataOutOfRange = -222;
constexpr int kIllegalParameterValue = -224;

const std::set<std::string> kRoots = {"ABOR", "CAL",  "CALC", "CONF", "DIAG", "DISP", "EMUL", "FETC",
                                      "FORM", "HCOP", "INIT", "INP",  "MEAS", "MMEM", "OUTP", "READ",
                                      "SENS", "SOUR", "STAT", "SYST", "TEST", "TRIG", "UNIT"};

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        return std::string(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}

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

// Value checks of settings: the error a value draws, 0 when it is accepted.
int DataFormatError(std::string_view params) {
    std::vector<std::string> p = scpi::SplitParameters(params);
    std::string type = scpi::Upper(p[0]);
    bool ascii = type == "ASC" || type == "ASCII";
    bool real = type == "REAL" && (p.size() == 1 || p[1] == "32" || p[1] == "64");
    return ascii || real ? 0 : kIllegalParameterValue;
}

int AttenuationError(std::string_view params) {
    std::optional<double> value = scpi::Number(params);
    if (!value) return kDataTypeError;
    return *value < 0 || *value > 70 ? kDataOutOfRange : 0;
}

std::string ErrorEntry(const std::pair<int, std::string>& error) {
    return std::to_string(error.first) + ",\"" + error.second + "\"";
}

template <class Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], const scpi::Unit& unit) {
    for (const Entry& entry : table) {
        if (entry.query == unit.query && entry.pattern.Matches(unit.nodes)) return &entry;
    }
    return nullptr;
}

}  // namespace

// What a common command takes: nothing, a byte (0 to 255), or whatever comes.
enum class Instrument::Takes { kNothing, kByte, kAnything };

struct Instrument::CommonCommand {
    HeaderPattern pattern;
    bool query;
    Takes takes;
    bool waits;  // blocks until the operation ends, so runs without the lock
    Reply (*run)(Instrument& self, int value);
};

struct Instrument::Command {
    HeaderPattern pattern;
    bool query;
    // Nothing when the unit is to be read or stored as a plain setting.
    // Commands run with the lock held; queries take it as they need.
    std::optional<Reply> (*run)(Instrument& self, const scpi::Unit& unit, const std::string& key);
    int (*check)(std::string_view params) = nullptr;  // of a stored value
};

struct Instrument::Analysis {
    HeaderPattern pattern;
    bool query;
    Reply (*run)(Instrument& self, const scpi::Unit& unit, const TraceQuery& trace, const Sweep& sweep);
};

struct Instrument::EmulatorArguments {
    std::vector<std::string> list;
    std::optional<double> number;  // the first, if a number
    int count = 0;                 // the first as an integer, 0 when it is none
};

struct Instrument::EmulatorCommand {
    HeaderPattern pattern;
    bool query;
    bool numeric;  // the first parameter must be a number
    Reply (*run)(Instrument& self, const scpi::Unit& unit, const EmulatorArguments& arguments);
};

const Instrument::CommonCommand Instrument::kCommonCommands[] = {
    {"IDN", true, Takes::kNothing, false, [](Instrument& self, int) { return Answer(self.Identification()); }},
    {"ESR", true, Takes::kNothing, false,
     [](Instrument& self, int) {
         self.SettleOperationLocked();
         int value = self.esr_ | self.faults_.TakeEsrBits();
         self.esr_ = 0;
         return Answer(std::to_string(value));
     }},
    {"ESE", true, Takes::kNothing, false, [](Instrument& self, int) { return Answer(std::to_string(self.ese_)); }},
    {"SRE", true, Takes::kNothing, false, [](Instrument& self, int) { return Answer(std::to_string(self.sre_)); }},
    {"STB", true, Takes::kNothing, false,
     [](Instrument& self, int) {
         self.SettleOperationLocked();
         return Answer(std::to_string(self.StatusByteLocked(false)));
     }},
    {"OPT", true, Takes::kNothing, false,
     [](Instrument& self, int) { return Answer(self.options_.options.empty() ? "0" : self.options_.options); }},
    {"TST", true, Takes::kNothing, false, [](Instrument&, int) { return Answer("0"); }},
    {"PSC", true, Takes::kNothing, false,
     [](Instrument& self, int) {
         auto stored = self.settings_.find("*PSC");
         return Answer(stored != self.settings_.end() ? stored->second : "1");
     }},
    {"LRN", true, Takes::kNothing, false,
     [](Instrument& self, int) {
         return Answer(scpi::DefiniteBlock("SYST:SET " + scpi::DefiniteBlock(self.LearnStringLocked())));
     }},
    {"OPC", true, Takes::kNothing, true,
     [](Instrument& self, int) { return self.WaitForOperation() ? Answer("1") : Reply{}; }},
    {"WAI", false, Takes::kAnything, true,
     [](Instrument& self, int) {
         self.WaitForOperation();
         return Reply{};
     }},
    {"RST", false, Takes::kNothing, false,
     [](Instrument& self, int) {
         self.ResetLocked();
         return Reply{};
     }},
    {"CLS", false, Takes::kNothing, false,
     [](Instrument& self, int) {
         self.esr_ = 0;
         self.errors_.clear();
         self.opcArmed_ = false;
         return Reply{};
     }},
    {"OPC", false, Takes::kNothing, false,
     [](Instrument& self, int) {
         self.opcArmed_ = true;
         self.SettleOperationLocked();
         return Reply{};
     }},
    {"ESE", false, Takes::kByte, false,
     [](Instrument& self, int value) {
         self.ese_ = value;
         return Reply{};
     }},
    {"SRE", false, Takes::kByte, false,
     [](Instrument& self, int value) {
         self.sre_ = value & ~kServiceRequest;
         return Reply{};
     }},
    {"PSC", false, Takes::kByte, false,
     [](Instrument& self, int value) {
         self.settings_["*PSC"] = std::to_string(value != 0);
         return Reply{};
     }},
    // Accepted, without saved states or a trigger system behind them.
    {"TRG", false, Takes::kNothing, false, [](Instrument&, int) { return Reply{}; }},
    {"RCL", false, Takes::kByte, false, [](Instrument&, int) { return Reply{}; }},
    {"SAV", false, Takes::kByte, false, [](Instrument&, int) { return Reply{}; }},
};

const Instrument::Command
    Instrument::
        kCommands
            [] =
                {
                    {"SYST:ERR SYST:ERR:NEXT", true,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         std::lock_guard<std::mutex> lock(self.mutex_);
                         if (self.errors_.empty()) return Answer("0,\"No error\"");
                         std::string entry = ErrorEntry(self.errors_.front());
                         self.errors_.pop_front();
                         return Answer(entry);
                     }},
                    {"SYST:ERR:COUN", true,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         std::lock_guard<std::mutex> lock(self.mutex_);
                         return Answer(std::to_string(self.errors_.size()));
                     }},
                    {"SYST:ERR:ALL", true,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         std::lock_guard<std::mutex> lock(self.mutex_);
                         std::string all;
                         for (const auto& error : self.errors_) all += (all.empty() ? "" : ",") + ErrorEntry(error);
                         self.errors_.clear();
                         return Answer(all.empty() ? "0,\"No error\"" : all);
                     }},
                    {"SYST:VERS", true,
                     [](Instrument&, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         return Answer("1999.0");
                     }},
                    {"HCOP:SDUM:DATA", true,
                     [](Instrument&, const scpi::Unit& unit, const std::string&) -> std::optional<Reply> {
                         std::vector<std::string> p = scpi::SplitParameters(unit.params);
                         return Answer(scpi::DefiniteBlock(ScreenImage(p[0].empty() ? "BMP" : p[0])));
                     }},
                    // The data queries of the applications; a list written there reads back.
                    {"CALC:APP:**:DATA:* CALC:APP:**:LIM:*:LDAT", true,
                     [](Instrument& self, const scpi::Unit& unit, const std::string& key) -> std::optional<Reply> {
                         std::optional<TraceQuery> query = ClassifyTraceQuery(unit.nodes);
                         if (!query) return std::nullopt;
                         const Sweep sweep = self.SweepOf(query->app);
                         std::lock_guard<std::mutex> lock(self.mutex_);
                         auto stored = self.settings_.find(key);
                         if (stored != self.settings_.end()) return Answer(stored->second);
                         return Answer(self.ListReplyLocked(TraceList(*query, sweep)));
                     }},
                    {"CALC:APP:**", true,
                     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> std::optional<Reply> {
                         return self.RunAnalysis(unit);
                     }},
                    {"INIT:**", false,
                     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> std::optional<Reply> {
                         // "INIT:CONT ON" and the like are settings.
                         if (!unit.params.empty() || unit.nodes.back() == "CONT") return std::nullopt;
                         self.operationEnd_ = Clock::now() + std::chrono::milliseconds(self.measurementDelayMs_);
                         return Reply{};
                     }},
                    {"ABOR", false,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         self.operationEnd_ = Clock::now();
                         return Reply{};
                     }},
                    {"SYST:PRES", false,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         self.ResetLocked();
                         return Reply{};
                     }},
                    {"STAT:PRES", false,
                     [](Instrument& self, const scpi::Unit&, const std::string&) -> std::optional<Reply> {
                         std::erase_if(self.settings_,
                                       [](const auto& setting) { return setting.first.rfind("STAT:", 0) == 0; });
                         return Reply{};
                     }},
                    {"SYST:SET", false,
                     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> std::optional<Reply> {
                         std::optional<std::string> state = scpi::BlockPayload(unit.params);
                         if (state)
                             self.RestoreLocked(*state);
                         else
                             self.PushErrorLocked(kDataTypeError, unit.header);
                         return Reply{};
                     }},
                    {"FORM FORM:DATA", false, nullptr, &DataFormatError},
                    {"SENS:ATT:LEV", false, nullptr, &AttenuationError},
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

const Instrument::EmulatorCommand Instrument::kEmulatorCommands[] = {
    {"EMUL:FAUL", true, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments&) { return Answer(self.faults_.Describe()); }},
    {"EMUL:TRAC:POIN", true, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments&) {
         return Answer(std::to_string(self.TracePoints()));
     }},
    {"EMUL:MEAS:DEL", true, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments&) {
         std::lock_guard<std::mutex> lock(self.mutex_);
         return Answer(std::to_string(self.measurementDelayMs_));
     }},
    {"EMUL:FAUL:DEL", true, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments&) {
         return Answer(std::to_string(self.faults_.ReplyDelayMs()));
     }},
    {"EMUL:FAUL:DEL", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.SetReplyDelay(a.count);
         return Reply{};
     }},
    {"EMUL:FAUL:SWAL", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.SwallowReplies(a.count);
         return Reply{};
     }},
    {"EMUL:FAUL:GARB", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.GarbleReplies(a.count);
         return Reply{};
     }},
    {"EMUL:FAUL:TRAC:DEL", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.SetTraceDelay(a.count);
         return Reply{};
     }},
    {"EMUL:FAUL:SRQ", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.LoseServiceRequests(a.count != 0);
         return Reply{};
     }},
    {"EMUL:FAUL:CLE", false, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments&) {
         self.faults_.Clear();
         return Reply{};
     }},
    {"EMUL:FAUL:IDN", false, false,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.SetIdnModel(Unquote(a.list[0]));
         return Reply{};
     }},
    {"EMUL:FAUL:TRUN", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         bool terminate = a.list.size() < 2 || scpi::Upper(a.list[1]) != "UNT";
         self.faults_.TruncateNextReply(static_cast<std::size_t>(std::max(0, a.count)), terminate);
         return Reply{};
     }},
    {"EMUL:FAUL:ESR", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.faults_.ForceEsrBits(a.count, a.list.size() >= 2 && scpi::Upper(a.list[1]).rfind("PERS", 0) == 0);
         return Reply{};
     }},
    {"EMUL:FAUL:DROP", false, false,
     [](Instrument& self, const scpi::Unit& unit, const EmulatorArguments& a) {
         if (scpi::Upper(a.list[0]).rfind("IMM", 0) == 0) {
             self.faults_.DropOnNextMessage();
         } else if (a.number && *a.number >= 0) {
             self.faults_.DropDuringNextReply(static_cast<std::size_t>(*a.number));
         } else {
             self.ReportError(kIllegalParameterValue, unit.header);
         }
         return Reply{};
     }},
    {"EMUL:TRAC:POIN", false, true,
     [](Instrument& self, const scpi::Unit& unit, const EmulatorArguments& a) {
         if (a.count < 2 || a.count > kMaxTracePoints)
             self.ReportError(kDataOutOfRange, unit.header);
         else
             self.SetTracePoints(a.count);
         return Reply{};
     }},
    {"EMUL:MEAS:DEL", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.SetMeasurementDelay(a.count);
         return Reply{};
     }},
    {"EMUL:ERR", false, true,
     [](Instrument& self, const scpi::Unit&, const EmulatorArguments& a) {
         self.ReportError(a.count, a.list.size() >= 2 ? Unquote(a.list[1]) : std::string());
         return Reply{};
     }},
};

std::vector<double> Instrument::StoredNumbers(std::vector<std::string> nodes,
                                              std::initializer_list<const char*> tail) const {
    nodes.insert(nodes.end(), tail.begin(), tail.end());
    std::optional<std::string> text = Setting(scpi::JoinNodes(nodes));
    return text ? Numbers(*text) : std::vector<double>{};
}

Instrument::Reply Instrument::RunCommon(const scpi::Unit& unit) {
    const CommonCommand* command = Find(kCommonCommands, unit);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!command) {
        PushErrorLocked(kUndefinedHeader, unit.header);
        return {};
    }
    std::optional<int> value = CommonParameterLocked(command->takes, unit);
    if (!value) return {};
    if (command->waits) lock.unlock();
    return command->run(*this, *value);
}

std::optional<int> Instrument::CommonParameterLocked(Takes takes, const scpi::Unit& unit) {
    if (takes == Takes::kAnything) return 0;
    int error = 0;
    double value = 0.0;
    if (takes == Takes::kNothing) {
        error = unit.params.empty() ? 0 : kParameterNotAllowed;
    } else if (unit.params.empty()) {
        error = kMissingParameter;
    } else if (std::optional<double> number = scpi::Number(unit.params)) {
        value = *number;
        error = value < 0 || value > 255 ? kDataOutOfRange : 0;
    } else {
        error = kDataTypeError;
    }
    if (error) {
        PushErrorLocked(error, unit.header);
        return std::nullopt;
    }
    return static_cast<int>(std::lround(value));
}

Instrument::Reply Instrument::RunCompound(const scpi::Unit& unit) {
    if (!kRoots.count(unit.nodes[0])) {
        ReportError(kUndefinedHeader, unit.header);
        return {};
    }
    if (unit.nodes[0] == "EMUL") return RunEmulatorCommand(unit);
    const std::string key = scpi::JoinNodes(unit.nodes);
    const Command* command = Find(kCommands, unit);
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    if (!unit.query) lock.lock();
    if (command && command->run) {
        if (std::optional<Reply> reply = command->run(*this, unit, key)) return *reply;
    }
    if (unit.query) {
        lock.lock();
        auto it = settings_.find(key);
        return Answer(it != settings_.end() ? it->second : DefaultSetting(unit.nodes, tracePoints_));
    }
    if (unit.params.empty()) return {};  // an event such as "DISP:UPD:IMM"
    if (int error = command && command->check ? command->check(unit.params) : 0) {
        PushErrorLocked(error, unit.header);
        return {};
    }
    settings_[key] = unit.params;
    return {};
}

std::optional<Instrument::Reply> Instrument::RunAnalysis(const scpi::Unit& unit) {
    const Analysis* analysis = Find(kAnalyses, unit);
    std::optional<TraceQuery> trace = TraceOf(unit.nodes);
    if (!analysis || !trace) return std::nullopt;
    return analysis->run(*this, unit, *trace, SweepOf(trace->app));
}

Instrument::Reply Instrument::RunEmulatorCommand(const scpi::Unit& unit) {
    const EmulatorCommand* command = Find(kEmulatorCommands, unit);
    EmulatorArguments arguments;
    arguments.list = scpi::SplitParameters(unit.params);
    arguments.number = scpi::Number(arguments.list[0]);
    arguments.count = static_cast<int>(arguments.number.value_or(0.0));
    if (!unit.query && (!command || command->numeric) && !arguments.number) {
        ReportError(unit.params.empty() ? kMissingParameter : kDataTypeError, unit.header);
        return {};
    }
    if (!command) {
        ReportError(kUndefinedHeader, unit.header);
        return {};
    }
    return command->run(*this, unit, arguments);
}

}  // namespace emulator
