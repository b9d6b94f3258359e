#include "emulator/instrument/instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "emulator/instrument/error_texts.h"
#include "emulator/instrument/traces.h"

namespace emulator {

namespace {

// Set when the unit running on this thread reported a command error: the
// parser then gives up on the rest of the message.
thread_local bool tCommandError = false;

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
    if (!unit.common && unit.query && ClassifyTraceQuery(unit.nodes)) {
        int delay = faults_.TraceDelayMs();
        if (delay > 0 && !Sleep(delay)) return {};
    }
    return unit.common ? RunCommon(unit) : RunCompound(unit);
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

std::string Instrument::ListReplyLocked(const std::vector<double>& values) const {
    auto format = settings_.find("FORM:DATA");
    if (format == settings_.end()) format = settings_.find("FORM");
    std::vector<std::string> p = scpi::SplitParameters(format == settings_.end() ? std::string("ASC") : format->second);
    if (scpi::Upper(p[0]) != "REAL") return FormatList(values, realForm());
    bool single = p.size() >= 2 && p[1] == "32";
    auto order = settings_.find("FORM:BORD");
    bool swapped = order != settings_.end() && scpi::Upper(order->second).rfind("SWAP", 0) == 0;
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
