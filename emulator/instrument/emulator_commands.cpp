// The emulator's own commands ("EMUL:FAUL:SWAL 3"): faults to inject and
// the measurement's size and timing.
#include <algorithm>

#include "emulator/instrument/error_texts.h"
#include "emulator/instrument/header_pattern.h"
#include "emulator/instrument/instrument.h"

namespace emulator {

namespace {

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        return std::string(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}

}  // namespace

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
    // Instead of `run`: the fault this command sets to its number ("EMUL:FAUL:SWAL 3").
    void (Faults::*setFault)(int) = nullptr;
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
    {"EMUL:FAUL:DEL", false, true, nullptr, &Faults::SetReplyDelay},
    {"EMUL:FAUL:SWAL", false, true, nullptr, &Faults::SwallowReplies},
    {"EMUL:FAUL:GARB", false, true, nullptr, &Faults::GarbleReplies},
    {"EMUL:FAUL:TRAC:DEL", false, true, nullptr, &Faults::SetTraceDelay},
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

Instrument::Reply Instrument::RunEmulatorCommand(const scpi::Unit& unit) {
    const EmulatorCommand* command = FindEntry(kEmulatorCommands, unit);
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
    if (command->setFault) {
        (faults_.*command->setFault)(arguments.count);
        return {};
    }
    return command->run(*this, unit, arguments);
}

}  // namespace emulator
