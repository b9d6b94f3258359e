#include "emulator/instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "emulator/default_settings.h"
#include "emulator/error_texts.h"
#include "emulator/screen_image.h"
#include "emulator/traces.h"

namespace emulator {

namespace {

// Set when the unit running on this thread reported a command error: the
// parser then gives up on the rest of the message.
thread_local bool tCommandError = false;

constexpr int kMaxTracePoints = 100001;
constexpr int kUndefinedHeader = -113;
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kDataTypeError = -104;
constexpr int kDataOutOfRange = -222;
constexpr int kIllegalParameterValue = -224;

const std::set<std::string> kRoots = {"ABOR", "CAL",  "CALC", "CONF", "DIAG", "DISP", "EMUL", "FETC",
                                      "FORM", "HCOP", "INIT", "INP",  "MEAS", "MMEM", "OUTP", "READ",
                                      "SENS", "SOUR", "STAT", "SYST", "TEST", "TRIG", "UNIT"};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        return std::string(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}

bool EndsWith(const std::vector<std::string>& nodes, std::initializer_list<const char*> tail) {
    if (nodes.size() < tail.size()) return false;
    std::size_t i = nodes.size() - tail.size();
    for (const char* t : tail) {
        if (nodes[i++] != t) return false;
    }
    return true;
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

}  // namespace

Instrument::Instrument(InstrumentOptions options)
    : options_(std::move(options)),
      tracePoints_(std::clamp(options_.tracePoints, 2, kMaxTracePoints)),
      measurementDelayMs_(std::max(0, options_.measurementDelayMs)) {}

std::optional<std::string> Instrument::Execute(std::string_view message) {
    return replay_ ? ExecuteReplayed(message) : ExecuteOwn(message);
}

std::optional<std::string> Instrument::ExecuteReplayed(std::string_view message) {
    const Replay::Answer answer = replay_->Next(message);
    if (!answer.recorded) {
        // A poll or error query out of the recording's order is the
        // instrument's own to answer: it knows the errors this replay reported.
        std::string text(message);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        // Where the recording read the status byte or saw a service request,
        // a client polling the status byte as text reads that value.
        if (text == "*STB?") {
            if (std::optional<int> recorded = replay_->NextStatusByte()) return std::to_string(*recorded);
        }
        if (text == "*STB?" || text == "*ESR?" || text == "*OPC?" || text == "SYST:ERR?" || text == "SYST:ERR:NEXT?") {
            return ExecuteOwn(message);
        }
        std::fprintf(stderr, "replay: \"%s\" is not in the recording; expected %s\n", text.c_str(),
                     replay_->Expected().c_str());
        ReportError(kUndefinedHeader);
        return std::nullopt;
    }
    if (answer.runLocally) ExecuteOwn(message);
    // The recorded delay, unless the emulator halts meanwhile.
    if (answer.delay.count() > 0 && !waker_.WaitUntil(Clock::now() + answer.delay, [&] { return halted_.load(); })) {
        return std::nullopt;
    }
    return answer.reply;
}

std::optional<std::string> Instrument::ExecuteOwn(std::string_view message) {
    std::string response;
    bool answered = false;
    for (const scpi::Unit& unit : scpi::ParseMessage(message)) {
        if (halted_) break;
        tCommandError = false;
        Reply reply = RunUnit(unit);
        if (reply.present) {
            if (answered) response += ';';
            response += reply.text;
            answered = true;
        }
        if (tCommandError) break;
    }
    ++statusGeneration_;
    waker_.NotifyAll();
    if (!answered) return std::nullopt;
    return response;
}

Instrument::Reply Instrument::RunUnit(const scpi::Unit& unit) {
    if (unit.error) {
        ReportError(unit.error);
        return {};
    }
    if (unit.common && unit.nodes[0] == "OPC" && unit.query) {
        if (!unit.params.empty()) {
            ReportError(kParameterNotAllowed);
            return {};
        }
        if (!WaitForOperation()) return {};
        return Answer("1");
    }
    if (unit.common && unit.nodes[0] == "WAI" && !unit.query) {
        WaitForOperation();
        return {};
    }
    if (!unit.common && unit.query && ClassifyTraceQuery(unit.nodes)) {
        int delay = faults_.TraceDelayMs();
        if (delay > 0 && !Sleep(delay)) return {};
    }
    return unit.common ? RunCommon(unit) : RunCompound(unit);
}

Instrument::Reply Instrument::RunCommon(const scpi::Unit& unit) {
    const std::string& name = unit.nodes[0];
    std::lock_guard<std::mutex> lock(mutex_);
    static const std::set<std::string> kQueries = {"IDN", "ESR", "ESE", "SRE", "STB", "OPT", "TST", "LRN", "PSC"};
    static const std::set<std::string> kCommands = {"RST", "CLS", "ESE", "SRE", "OPC", "TRG", "RCL", "SAV", "PSC"};
    if (!(unit.query ? kQueries : kCommands).count(name)) {
        PushErrorLocked(kUndefinedHeader, unit.header);
        return {};
    }
    bool takesParameter =
        !unit.query && (name == "ESE" || name == "SRE" || name == "RCL" || name == "SAV" || name == "PSC");
    if (!takesParameter && !unit.params.empty()) {
        PushErrorLocked(kParameterNotAllowed, unit.header);
        return {};
    }
    if (takesParameter) {
        if (unit.params.empty()) {
            PushErrorLocked(kMissingParameter, unit.header);
            return {};
        }
        std::optional<double> value = scpi::Number(unit.params);
        if (!value) {
            PushErrorLocked(kDataTypeError, unit.header);
            return {};
        }
        if (*value < 0 || *value > 255) {
            PushErrorLocked(kDataOutOfRange, unit.header);
            return {};
        }
        int v = static_cast<int>(std::lround(*value));
        if (name == "ESE")
            ese_ = v;
        else if (name == "SRE")
            sre_ = v & ~kServiceRequest;
        else if (name == "PSC")
            settings_["*PSC"] = std::to_string(v != 0);
        return {};
    }
    if (name == "IDN") return Answer(Identification());
    if (name == "ESR") {
        SettleOperationLocked();
        int value = esr_ | faults_.TakeEsrBits();
        esr_ = 0;
        return Answer(std::to_string(value));
    }
    if (name == "ESE") return Answer(std::to_string(ese_));
    if (name == "SRE") return Answer(std::to_string(sre_));
    if (name == "STB") {
        SettleOperationLocked();
        return Answer(std::to_string(StatusByteLocked(false)));
    }
    if (name == "OPT") return Answer(options_.options.empty() ? "0" : options_.options);
    if (name == "TST") return Answer("0");
    if (name == "PSC") return Answer(settings_.count("*PSC") ? settings_["*PSC"] : "1");
    if (name == "LRN") return Answer(scpi::DefiniteBlock("SYST:SET " + scpi::DefiniteBlock(LearnStringLocked())));
    if (name == "RST") {
        ResetLocked();
    } else if (name == "CLS") {
        esr_ = 0;
        errors_.clear();
        opcArmed_ = false;
    } else if (name == "OPC") {
        opcArmed_ = true;
        SettleOperationLocked();
    }
    return {};
}

Instrument::Reply Instrument::RunCompound(const scpi::Unit& unit) {
    const std::vector<std::string>& nodes = unit.nodes;
    std::string key = scpi::JoinNodes(nodes);
    if (!kRoots.count(nodes[0])) {
        ReportError(kUndefinedHeader, unit.header);
        return {};
    }
    if (nodes[0] == "EMUL") {
        if (std::optional<Reply> reply = RunEmulatorCommand(unit, key)) return *reply;
        ReportError(kUndefinedHeader, unit.header);
        return {};
    }
    if (unit.query) {
        if (std::optional<Reply> reply = RunDataQuery(unit, key)) return *reply;
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = settings_.find(key);
        return Answer(it != settings_.end() ? it->second : DefaultSetting(nodes, tracePoints_));
    }

    std::lock_guard<std::mutex> lock(mutex_);
    if (nodes[0] == "INIT" && unit.params.empty() && nodes.back() != "CONT") {
        operationEnd_ = Clock::now() + std::chrono::milliseconds(measurementDelayMs_);
        return {};
    }
    if (key == "ABOR") {
        operationEnd_ = Clock::now();
        return {};
    }
    if (key == "SYST:PRES") {
        ResetLocked();
        return {};
    }
    if (key == "STAT:PRES") {
        for (auto it = settings_.begin(); it != settings_.end();) {
            it = it->first.rfind("STAT:", 0) == 0 ? settings_.erase(it) : std::next(it);
        }
        return {};
    }
    if (key == "SYST:SET") {
        std::optional<std::string> state = scpi::BlockPayload(unit.params);
        if (!state) {
            PushErrorLocked(kDataTypeError, unit.header);
            return {};
        }
        RestoreLocked(*state);
        return {};
    }
    if (unit.params.empty()) return {};  // an event such as "DISP:UPD:IMM"
    if (key == "FORM:DATA" || key == "FORM") {
        std::vector<std::string> p = scpi::SplitParameters(unit.params);
        std::string type = Upper(p[0]);
        bool ascii = type == "ASC" || type == "ASCII";
        bool real = type == "REAL" && (p.size() == 1 || p[1] == "32" || p[1] == "64");
        if (!ascii && !real) {
            PushErrorLocked(kIllegalParameterValue, unit.header);
            return {};
        }
    }
    if (key == "SENS:ATT:LEV") {
        std::optional<double> value = scpi::Number(unit.params);
        if (!value) {
            PushErrorLocked(kDataTypeError, unit.header);
            return {};
        }
        if (*value < 0 || *value > 70) {
            PushErrorLocked(kDataOutOfRange, unit.header);
            return {};
        }
    }
    settings_[key] = unit.params;
    return {};
}

std::optional<Instrument::Reply> Instrument::RunEmulatorCommand(const scpi::Unit& unit, const std::string& key) {
    std::vector<std::string> p = scpi::SplitParameters(unit.params);
    std::optional<double> number = scpi::Number(p[0]);
    const int count = static_cast<int>(number.value_or(0.0));
    bool needsNumber = !unit.query && key != "EMUL:FAUL:CLE" && key != "EMUL:FAUL:IDN" && key != "EMUL:FAUL:DROP";
    if (needsNumber && !number) {
        ReportError(unit.params.empty() ? kMissingParameter : kDataTypeError, unit.header);
        return Reply{};
    }
    if (unit.query) {
        if (key == "EMUL:FAUL") return Answer(faults_.Describe());
        if (key == "EMUL:TRAC:POIN") return Answer(std::to_string(TracePoints()));
        if (key == "EMUL:MEAS:DEL") {
            std::lock_guard<std::mutex> lock(mutex_);
            return Answer(std::to_string(measurementDelayMs_));
        }
        if (key == "EMUL:FAUL:DEL") return Answer(std::to_string(faults_.ReplyDelayMs()));
        return std::nullopt;
    }
    if (key == "EMUL:FAUL:DEL")
        faults_.SetReplyDelay(count);
    else if (key == "EMUL:FAUL:SWAL")
        faults_.SwallowReplies(count);
    else if (key == "EMUL:FAUL:GARB")
        faults_.GarbleReplies(count);
    else if (key == "EMUL:FAUL:TRAC:DEL")
        faults_.SetTraceDelay(count);
    else if (key == "EMUL:FAUL:SRQ")
        faults_.LoseServiceRequests(count != 0);
    else if (key == "EMUL:FAUL:CLE")
        faults_.Clear();
    else if (key == "EMUL:FAUL:IDN")
        faults_.SetIdnModel(Unquote(p[0]));
    else if (key == "EMUL:FAUL:TRUN") {
        faults_.TruncateNextReply(static_cast<std::size_t>(std::max(0, count)), p.size() < 2 || Upper(p[1]) != "UNT");
    } else if (key == "EMUL:FAUL:ESR") {
        faults_.ForceEsrBits(count, p.size() >= 2 && Upper(p[1]).rfind("PERS", 0) == 0);
    } else if (key == "EMUL:FAUL:DROP") {
        if (Upper(p[0]).rfind("IMM", 0) == 0) {
            faults_.DropOnNextMessage();
        } else if (number && *number >= 0) {
            faults_.DropDuringNextReply(static_cast<std::size_t>(*number));
        } else {
            ReportError(kIllegalParameterValue, unit.header);
        }
    } else if (key == "EMUL:TRAC:POIN") {
        if (count < 2 || count > kMaxTracePoints)
            ReportError(kDataOutOfRange, unit.header);
        else
            SetTracePoints(count);
    } else if (key == "EMUL:MEAS:DEL") {
        SetMeasurementDelay(count);
    } else if (key == "EMUL:ERR") {
        ReportError(count, p.size() >= 2 ? Unquote(p[1]) : std::string());
    } else {
        return std::nullopt;
    }
    return Reply{};
}

std::optional<Instrument::Reply> Instrument::RunDataQuery(const scpi::Unit& unit, const std::string& key) {
    const std::vector<std::string>& nodes = unit.nodes;
    if (key == "SYST:ERR" || key == "SYST:ERR:NEXT") {
        std::lock_guard<std::mutex> lock(mutex_);
        if (errors_.empty()) return Answer("0,\"No error\"");
        auto [code, text] = errors_.front();
        errors_.pop_front();
        return Answer(std::to_string(code) + ",\"" + text + "\"");
    }
    if (key == "SYST:ERR:COUN") {
        std::lock_guard<std::mutex> lock(mutex_);
        return Answer(std::to_string(errors_.size()));
    }
    if (key == "SYST:ERR:ALL") {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string all;
        for (const auto& [code, text] : errors_)
            all += (all.empty() ? "" : ",") + std::to_string(code) + ",\"" + text + "\"";
        errors_.clear();
        return Answer(all.empty() ? "0,\"No error\"" : all);
    }
    if (key == "SYST:VERS") return Answer("1999.0");
    if (key == "HCOP:SDUM:DATA") {
        std::vector<std::string> p = scpi::SplitParameters(unit.params);
        return Answer(scpi::DefiniteBlock(ScreenImage(p[0].empty() ? "BMP" : p[0])));
    }

    if (std::optional<TraceQuery> query = ClassifyTraceQuery(nodes)) {
        const Sweep sweep = SweepOf(query->app);
        std::lock_guard<std::mutex> lock(mutex_);
        auto stored = settings_.find(key);
        if (stored != settings_.end()) return Answer(stored->second);
        return Answer(ListReplyLocked(TraceList(*query, sweep)));
    }
    std::optional<TraceQuery> trace = TraceOf(nodes);
    if (!trace) return std::nullopt;
    const Sweep sweep = SweepOf(trace->app);
    if (EndsWith(nodes, {"FUNC", "STAT", "DATA"}) || EndsWith(nodes, {"FUNC", "STAT", "MEM"})) {
        return Answer(FormatList(Statistics(MeasuredTrace(trace->app, trace->trace, sweep).y), realForm()));
    }
    if (EndsWith(nodes, {"FUNC", "INT", "DATA"}) || EndsWith(nodes, {"FUNC", "INT", "MEM"})) {
        // The integration range is the X band marker's, 1 kHz to 10 MHz until one is set.
        const std::vector<std::string> trace3(nodes.begin(), nodes.end() - 3);
        const std::vector<double> start = StoredNumbers(trace3, {"BDM", "X", "STAR"});
        const std::vector<double> stop = StoredNumbers(trace3, {"BDM", "X", "STOP"});
        double from = start.empty() ? 1e3 : start[0], to = stop.empty() ? 1e7 : stop[0];
        if (to <= from) std::swap(from, to);
        return Answer(FormatList(MeasuredIntegral(trace->app, trace->trace, sweep, from, to), realForm()));
    }
    if (EndsWith(nodes, {"LIM", "FAIL"})) {
        const std::vector<std::string> trace2(nodes.begin(), nodes.end() - 2);
        bool fails = LimitFails(MeasuredTrace(trace->app, trace->trace, sweep),
                                StoredNumbers(trace2, {"LIM", "UPP", "SEGM", "DATA"}),
                                StoredNumbers(trace2, {"LIM", "LOW", "SEGM", "DATA"}));
        return Answer(fails ? "1" : "0");
    }
    if (EndsWith(nodes, {"FUNC", "AVAR", "DATA"}) || EndsWith(nodes, {"FUNC", "AVAR", "MEM"})) {
        std::vector<double> args = Numbers(unit.params);
        if (args.size() < 2) {
            ReportError(kMissingParameter, unit.header);
            return Reply{};
        }
        return Answer(
            FormatList(AllanVariance(MeasuredTrace(trace->app, trace->trace, sweep), args[0], args[1]), realForm()));
    }
    if (EndsWith(nodes, {"FUNC", "LREG", "DATA"}) || EndsWith(nodes, {"FUNC", "LREG", "MEM"})) {
        return Answer(FormatList(LinearRegression(MeasuredTrace(trace->app, trace->trace, sweep)), realForm()));
    }
    if (nodes.size() >= 2 && nodes.back() == "Y" && nodes[nodes.size() - 2].rfind("MARK", 0) == 0) {
        std::vector<std::string> xNodes = nodes;
        xNodes.back().assign(1, 'X');
        std::optional<std::string> x = Setting(scpi::JoinNodes(xNodes));
        std::optional<double> at = x ? scpi::Number(*x) : std::nullopt;
        Trace measured = MeasuredTrace(trace->app, trace->trace, sweep);
        return Answer(FormatReal(Interpolate(measured, at ? *at : measured.x.front()), realForm()));
    }
    return std::nullopt;
}

Sweep Instrument::SweepOf(Application app) const {
    // The headers the applications keep their X range and point count under;
    // the transient time axis stays the instrument's own.
    struct Headers {
        Application app;
        const char* start;
        const char* stop;
        const char* points;
    };
    static const Headers kHeaders[] = {
        {Application::PhaseNoise, "SENS:PN:FREQ:STAR", "SENS:PN:FREQ:STOP", "SENS:PN:SWE:POIN"},
        {Application::AmNoise, "SENS:AM:FREQ:STAR", "SENS:AM:FREQ:STOP", "SENS:AM:SWE:POIN"},
        {Application::Baseband, "SENS:BB:FREQ:STAR", "SENS:BB:FREQ:STOP", "SENS:BB:SWE:POIN"},
        {Application::SpectrumMonitor, "SENS:SP:FREQ:STAR", "SENS:SP:FREQ:STOP", "SENS:SP:SWE:POIN"},
        {Application::FrequencyPower, "SOUR:FP:VOLT:CONT:STAR", "SOUR:FP:VOLT:CONT:STOP", "SOUR:FP:SWE:POIN"},
        {Application::User, "SENS:USER:FREQ:STAR", "SENS:USER:FREQ:STOP", "SENS:USER:SWE:POIN"},
        {Application::Transient, nullptr, nullptr, "SENS:TR:WIDE:SWE:POIN"}};
    auto number = [this](const char* header) -> std::optional<double> {
        std::optional<std::string> text = header ? Setting(header) : std::nullopt;
        return text ? scpi::Number(*text) : std::nullopt;
    };
    Sweep sweep;
    sweep.points = TracePoints();
    for (const Headers& h : kHeaders) {
        if (h.app != app) continue;
        std::optional<double> start = number(h.start), stop = number(h.stop), points = number(h.points);
        if (start && stop) {
            sweep.start = *start;
            sweep.stop = *stop;
        }
        if (points) sweep.points = static_cast<int>(std::clamp(*points, 2.0, static_cast<double>(kMaxTracePoints)));
    }
    return sweep;
}

std::vector<double> Instrument::StoredNumbers(std::vector<std::string> nodes,
                                              std::initializer_list<const char*> tail) const {
    nodes.insert(nodes.end(), tail.begin(), tail.end());
    std::optional<std::string> text = Setting(scpi::JoinNodes(nodes));
    return text ? Numbers(*text) : std::vector<double>{};
}

std::string Instrument::ListReplyLocked(const std::vector<double>& values) const {
    auto format = settings_.find("FORM:DATA");
    if (format == settings_.end()) format = settings_.find("FORM");
    std::vector<std::string> p = scpi::SplitParameters(format == settings_.end() ? std::string("ASC") : format->second);
    if (Upper(p[0]) != "REAL") return FormatList(values, realForm());
    bool single = p.size() >= 2 && p[1] == "32";
    auto order = settings_.find("FORM:BORD");
    bool swapped = order != settings_.end() && Upper(order->second).rfind("SWAP", 0) == 0;
    std::string bytes;
    for (double v : values) {
        unsigned char raw[8];
        std::size_t size = single ? 4 : 8;
        if (single) {
            float f = static_cast<float>(v);
            std::memcpy(raw, &f, 4);
        } else {
            std::memcpy(raw, &v, 8);
        }
        // The host is little-endian; the normal SCPI order is big-endian.
        if (!swapped) std::reverse(raw, raw + size);
        bytes.append(reinterpret_cast<const char*>(raw), size);
    }
    return scpi::DefiniteBlock(bytes);
}

std::string Instrument::LearnStringLocked() const {
    std::string state;
    for (const auto& [key, value] : settings_) {
        // Block-valued settings would break the block the state travels in.
        if (value.find('#') != std::string::npos || value.find('\n') != std::string::npos) continue;
        state += key + " " + value + "\n";
    }
    return state;
}

void Instrument::RestoreLocked(std::string_view state) {
    ResetLocked();
    while (!state.empty()) {
        std::size_t end = state.find('\n');
        std::string_view line = state.substr(0, end);
        std::size_t space = line.find(' ');
        if (space != std::string_view::npos)
            settings_[std::string(line.substr(0, space))] = std::string(line.substr(space + 1));
        if (end == std::string_view::npos) break;
        state.remove_prefix(end + 1);
    }
}

void Instrument::ResetLocked() {
    std::string powerOnClear = settings_.count("*PSC") ? settings_["*PSC"] : std::string();
    settings_.clear();
    if (!powerOnClear.empty()) settings_["*PSC"] = powerOnClear;
    operationEnd_ = Clock::now();
}

void Instrument::SettleOperationLocked() {
    if (opcArmed_ && Clock::now() >= operationEnd_) {
        esr_ |= kOperationComplete;
        opcArmed_ = false;
    }
}

void Instrument::PushErrorLocked(int code, std::string_view detail) {
    esr_ |= EventBitOf(code);
    if (EventBitOf(code) == kCommandError) tCommandError = true;
    // Standard errors read with their standard text; device-specific ones may
    // carry the reporter's own.
    bool deviceSpecific = code > 0 || (code <= -300 && code > -400);
    std::string text = deviceSpecific && !detail.empty() ? std::string(detail) : ErrorText(code);
    if (errors_.size() >= options_.errorQueueCapacity) {
        errors_.back() = {-350, ErrorText(-350)};
        esr_ |= kDeviceError;
        return;
    }
    errors_.emplace_back(code, std::move(text));
}

void Instrument::ReportError(int code, std::string_view detail) {
    std::lock_guard<std::mutex> lock(mutex_);
    PushErrorLocked(code, detail);
}

std::uint8_t Instrument::ReadStatusByte(bool messageAvailable) {
    if (replay_) {
        if (std::optional<int> recorded = replay_->NextStatusByte()) return static_cast<std::uint8_t>(*recorded);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    SettleOperationLocked();
    return static_cast<std::uint8_t>(StatusByteLocked(messageAvailable));
}

int Instrument::StatusByteLocked(bool messageAvailable) const {
    int stb = (errors_.empty() ? 0 : kErrorAvailable) | (messageAvailable ? kMessageAvailable : 0) |
              ((esr_ & ese_) ? kEventSummary : 0);
    if ((stb & sre_) && !faults_.ServiceRequestsLost()) stb |= kServiceRequest;
    return stb;
}

std::optional<std::uint8_t> Instrument::WaitForServiceRequest(bool* requesting, const std::function<bool()>& stop) {
    for (;;) {
        std::uint64_t generation = statusGeneration_;
        Clock::time_point next = Clock::now() + std::chrono::hours(1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            SettleOperationLocked();
            int stb = StatusByteLocked(false);
            bool rose = (stb & kServiceRequest) && !*requesting;
            *requesting = (stb & kServiceRequest) != 0;
            if (rose) return static_cast<std::uint8_t>(stb);
            if (opcArmed_) next = operationEnd_;
        }
        waker_.WaitUntil(next, [&] { return halted_.load() || stop() || statusGeneration_.load() != generation; });
        if (halted_ || stop()) return std::nullopt;
    }
}

void Instrument::DeviceClear() {
    if (replay_) replay_->Pass("clear");
    ++clearGeneration_;
    waker_.NotifyAll();
}

void Instrument::Halt() {
    halted_ = true;
    waker_.NotifyAll();
}

void Instrument::Resume() { halted_ = false; }

bool Instrument::WaitForOperation() {
    Clock::time_point end;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        end = operationEnd_;
    }
    std::uint64_t generation = clearGeneration_;
    return waker_.WaitUntil(end, [&] { return halted_.load() || clearGeneration_.load() != generation; });
}

bool Instrument::Sleep(int milliseconds) {
    return waker_.WaitUntil(Clock::now() + std::chrono::milliseconds(milliseconds), [&] { return halted_.load(); });
}

std::optional<std::string> Instrument::Setting(std::string_view header) const {
    std::vector<scpi::Unit> units = scpi::ParseMessage(header);
    if (units.empty()) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = settings_.find(scpi::JoinNodes(units[0].nodes));
    if (it == settings_.end()) return std::nullopt;
    return it->second;
}

void Instrument::SetSetting(std::string_view header, std::string value) {
    std::vector<scpi::Unit> units = scpi::ParseMessage(header);
    if (units.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    settings_[scpi::JoinNodes(units[0].nodes)] = std::move(value);
}

int Instrument::PeekEventStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return esr_;
}

std::vector<std::pair<int, std::string>> Instrument::PendingErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {errors_.begin(), errors_.end()};
}

void Instrument::SetTracePoints(int points) {
    std::lock_guard<std::mutex> lock(mutex_);
    tracePoints_ = std::clamp(points, 2, kMaxTracePoints);
}

int Instrument::TracePoints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tracePoints_;
}

void Instrument::SetMeasurementDelay(int milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    measurementDelayMs_ = std::max(0, milliseconds);
}

std::string Instrument::Identification() const {
    std::string model = faults_.IdnModel();
    return options_.manufacturer + "," + (model.empty() ? options_.model : model) + "," + options_.serial + "," +
           options_.firmware;
}

}  // namespace emulator
