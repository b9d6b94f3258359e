// The SCPI commands and queries with a handler of their own: the error
// queue, data queries, operations and presets. What no entry claims is a
// plain setting, stored as written and read back.
#include <set>

#include "emulator/instrument/default_settings.h"
#include "emulator/instrument/error_texts.h"
#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/instrument.h"
#include "emulator/instrument/screen_image.h"

namespace emulator {

namespace {

const std::set<std::string> kRoots = {"ABOR", "CAL",  "CALC", "CONF", "DIAG", "DISP", "EMUL", "FETC",
                                      "FORM", "HCOP", "INIT", "INP",  "MEAS", "MMEM", "OUTP", "READ",
                                      "SENS", "SOUR", "STAT", "SYST", "TEST", "TRIG", "UNIT"};

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

}  // namespace

struct Instrument::Command {
    HeaderPattern pattern;
    bool query;
    // Commands run with the lock held; queries take it as they need.
    ReplyOrSetting (*run)(Instrument& self, const scpi::Unit& unit, const std::string& key);
    int (*check)(std::string_view params) = nullptr;  // of a stored value
};

const Instrument::Command Instrument::kCommands[] = {
    {"SYST:ERR SYST:ERR:NEXT", true,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         std::lock_guard<std::mutex> lock(self.mutex_);
         if (self.errors_.empty()) return Answer("0,\"No error\"");
         std::string entry = ErrorEntry(self.errors_.front());
         self.errors_.pop_front();
         return Answer(entry);
     }},
    {"SYST:ERR:COUN", true,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         std::lock_guard<std::mutex> lock(self.mutex_);
         return Answer(std::to_string(self.errors_.size()));
     }},
    {"SYST:ERR:ALL", true,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         std::lock_guard<std::mutex> lock(self.mutex_);
         std::string all;
         for (const auto& error : self.errors_) all += (all.empty() ? "" : ",") + ErrorEntry(error);
         self.errors_.clear();
         return Answer(all.empty() ? "0,\"No error\"" : all);
     }},
    {"SYST:VERS", true,
     [](Instrument&, const scpi::Unit&, const std::string&) -> ReplyOrSetting { return Answer("1999.0"); }},
    {"HCOP:SDUM:DATA", true,
     [](Instrument&, const scpi::Unit& unit, const std::string&) -> ReplyOrSetting {
         std::vector<std::string> p = scpi::SplitParameters(unit.params);
         return Answer(scpi::DefiniteBlock(ScreenImage(p[0].empty() ? "BMP" : p[0])));
     }},
    // The data queries of the applications; a list written there reads back.
    {"CALC:APP:**:DATA:* CALC:APP:**:LIM:*:LDAT", true,
     [](Instrument& self, const scpi::Unit& unit, const std::string& key) -> ReplyOrSetting {
         std::optional<TraceQuery> query = ClassifyTraceQuery(unit.nodes);
         if (!query) return std::nullopt;
         const Sweep sweep = self.SweepOf(query->app);
         std::lock_guard<std::mutex> lock(self.mutex_);
         auto stored = self.settings_.find(key);
         if (stored != self.settings_.end()) return Answer(stored->second);
         return Answer(self.ListReplyLocked(TraceList(*query, sweep)));
     }},
    {"CALC:APP:**", true,
     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> ReplyOrSetting {
         return self.RunAnalysis(unit);
     }},
    {"INIT:**", false,
     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> ReplyOrSetting {
         // "INIT:CONT ON" and the like are settings.
         if (!unit.params.empty() || unit.nodes.back() == "CONT") return std::nullopt;
         self.operationEnd_ = Clock::now() + std::chrono::milliseconds(self.measurementDelayMs_);
         return Reply{};
     }},
    {"ABOR", false,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         self.operationEnd_ = Clock::now();
         return Reply{};
     }},
    {"SYST:PRES", false,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         self.ResetLocked();
         return Reply{};
     }},
    {"STAT:PRES", false,
     [](Instrument& self, const scpi::Unit&, const std::string&) -> ReplyOrSetting {
         std::erase_if(self.settings_, [](const auto& setting) { return setting.first.rfind("STAT:", 0) == 0; });
         return Reply{};
     }},
    {"SYST:SET", false,
     [](Instrument& self, const scpi::Unit& unit, const std::string&) -> ReplyOrSetting {
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

Instrument::Reply Instrument::RunCompound(const scpi::Unit& unit) {
    if (!kRoots.count(unit.nodes[0])) {
        ReportError(kUndefinedHeader, unit.header);
        return {};
    }
    if (unit.nodes[0] == "EMUL") return RunEmulatorCommand(unit);
    const std::string key = scpi::JoinNodes(unit.nodes);
    const Command* command = FindEntry(kCommands, unit);
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    if (!unit.query) lock.lock();
    if (command && command->run) {
        if (ReplyOrSetting reply = command->run(*this, unit, key)) return *reply;
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

}  // namespace emulator
