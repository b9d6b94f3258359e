// The IEEE 488.2 common commands ("*IDN?", "*ESE 32"): status registers,
// reset, operation completion and the learn string.
#include <cmath>

#include "emulator/instrument/error_texts.h"
#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/instrument.h"

namespace emulator {

// What a common command takes: nothing, a byte (0 to 255), or whatever comes.
enum class Instrument::Takes { kNothing, kByte, kAnything };

struct Instrument::CommonCommand {
    HeaderPattern pattern;
    bool query;
    Takes takes;
    bool waits;  // blocks until the operation ends, so runs without the lock
    Reply (*run)(Instrument& self, int value);
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

Instrument::Reply Instrument::RunCommon(const scpi::Unit& unit) {
    const CommonCommand* command = FindEntry(kCommonCommands, unit);
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

}  // namespace emulator
