// Hand-written members of IZentravaStatus: the status registers, condition
// bits, service requests and the serial poll.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"
#include "model/zentrava_enum_tables.h"

namespace ztv::custom {
namespace {

using generated::ValueCommand;

// The two IEEE 488.2 registers answer common commands; every other register
// is addressed by its command prefix from the model data.
bool IsCommonRegister(LONG reg) {
    return reg == ZentravaStatusRegisterStatusByte || reg == ZentravaStatusRegisterStandardEvent;
}

// The query suffix of a register and sub-register, or nullptr when the
// combination cannot be read. `entry` is null for the common registers.
const char* QuerySuffix(LONG reg, const ValueCommand* entry, LONG sub) {
    if (reg == ZentravaStatusRegisterStatusByte) {
        if (sub == ZentravaStatusSubRegisterCondition || sub == ZentravaStatusSubRegisterEvent) return "*STB?";
        return sub == ZentravaStatusSubRegisterEnable ? "*SRE?" : nullptr;
    }
    if (reg == ZentravaStatusRegisterStandardEvent)
        return sub == ZentravaStatusSubRegisterEvent    ? "*ESR?"
               : sub == ZentravaStatusSubRegisterEnable ? "*ESE?"
                                                        : nullptr;
    switch (sub) {
        case ZentravaStatusSubRegisterCondition:
            return entry->eventOnly ? nullptr : "COND?";
        case ZentravaStatusSubRegisterNegativeTransition:
            return entry->eventOnly ? nullptr : "NTR?";
        case ZentravaStatusSubRegisterPositiveTransition:
            return entry->eventOnly ? nullptr : "PTR?";
        case ZentravaStatusSubRegisterEvent:
            return "EVEN?";
        default:
            return "ENAB?";
    }
}

// The write suffix, or nullptr for a read-only sub-register.
const char* WriteSuffix(LONG reg, const ValueCommand* entry, LONG sub) {
    if (sub == ZentravaStatusSubRegisterEnable)
        return reg == ZentravaStatusRegisterStatusByte      ? "*SRE"
               : reg == ZentravaStatusRegisterStandardEvent ? "*ESE"
                                                            : "ENAB";
    if (sub == ZentravaStatusSubRegisterCondition || sub == ZentravaStatusSubRegisterEvent) return nullptr;
    if (IsCommonRegister(reg) || entry->eventOnly) return nullptr;
    return sub == ZentravaStatusSubRegisterNegativeTransition ? "NTR" : "PTR";
}

// The register's command prefix and the command suffix for the sub-register,
// or the failure reported for an unknown register or an unusable combination.
struct RegisterCommand {
    const char* prefix = "";
    const char* suffix = nullptr;
    HRESULT hr = S_OK;
};

RegisterCommand FindRegisterCommand(engine::MemberCall& call, const char* member, LONG reg, LONG sub, bool write) {
    RegisterCommand out;
    const ValueCommand* entry =
        IsCommonRegister(reg) ? nullptr : generated::FindValueCommand(generated::kEnum_ZentravaStatusRegisterEnum, reg);
    if (!IsCommonRegister(reg) && !entry) {
        out.hr = call.Errors().ReportInvalidValueError(member, "Register", reg);
        return out;
    }
    const engine::EnumValueDesc* subName = engine::FindValue(generated::kEnum_ZentravaStatusSubRegisterEnum, sub);
    if (!subName) {
        out.hr = call.Errors().ReportInvalidValueError(member, "SubRegister", sub);
        return out;
    }
    out.suffix = write ? WriteSuffix(reg, entry, sub) : QuerySuffix(reg, entry, sub);
    if (!out.suffix) {
        out.hr = call.Errors().ReportInvalidValueError(member, "SubRegister", std::string_view(subName->name));
        return out;
    }
    if (entry) out.prefix = entry->command;
    return out;
}

}  // namespace

HRESULT status_register(engine::MemberCall& call, ZentravaStatusRegisterEnum Register,
                        ZentravaStatusSubRegisterEnum SubRegister, LONG* val) {
    *val = -1;
    const RegisterCommand command = FindRegisterCommand(call, "get_Register", Register, SubRegister, false);
    if (FAILED(command.hr)) return command.hr;
    if (call.Simulating()) {
        *val = static_cast<LONG>(call.Desc().simNumber);
        return S_OK;
    }
    return call.IO().InstrQuery(std::string(command.prefix) + command.suffix, val, kCurrentTimeout);
}

HRESULT status_register(engine::MemberCall& call, ZentravaStatusRegisterEnum Register,
                        ZentravaStatusSubRegisterEnum SubRegister, LONG val) {
    const RegisterCommand command = FindRegisterCommand(call, "put_Register", Register, SubRegister, true);
    if (FAILED(command.hr)) return command.hr;
    if (call.Simulating()) return S_OK;
    const LONG masked = val & (IsCommonRegister(Register) ? 0xFF : 0xFFFF);
    return call.IO().InstrWrite(std::string(command.prefix) + command.suffix + " " + std::to_string(masked),
                                kCurrentTimeout);
}

HRESULT condition_bit(engine::MemberCall& call, ZentravaStatusRegisterEnum Register, LONG BitNumber) {
    if (call.Simulating()) return S_OK;
    if (Register != ZentravaStatusRegisterOperationBit12)
        return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    const engine::CommandArg bit[] = {engine::CommandArg::Integer(BitNumber)};
    return call.IO().InstrWrite(call.Command(0, bit), kCurrentTimeout);
}

HRESULT service_request(engine::MemberCall& call, ZentravaSRQReasonEnum Reason) {
    const LONG reason = Reason;
    if (reason < 0 || reason > 0x3FFFF)
        return call.Errors().ReportInvalidValueError("ConfigureServiceRequest", "Reason", reason);
    LONG sre = 0, ese = 0, questionable = 0;
    if (reason & 0x1) sre |= 0x10;
    if (reason & 0x2) sre |= 0x04;
    // Standard event bits, in reason bit order from EsrOPC to EsrUserRequest.
    constexpr LONG kEventBits[] = {0x01, 0x04, 0x08, 0x10, 0x20, 0x40};
    for (int i = 0; i < 6; ++i) {
        if (reason & (0x4 << i)) {
            sre |= 0x20;
            ese |= kEventBits[i];
        }
    }
    // Questionable bits, in reason bit order from QuesVoltage to QuesInstrument.
    constexpr LONG kQuestionableBits[] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010,
                                          0x0020, 0x0040, 0x0080, 0x0100, 0x2000};
    for (int i = 0; i < 10; ++i) {
        if (reason & (0x100 << i)) {
            sre |= 0x08;
            questionable |= kQuestionableBits[i];
        }
    }
    if (call.Simulating()) return S_OK;
    const engine::CommandArg masks[] = {engine::CommandArg::Integer(sre), engine::CommandArg::Integer(ese),
                                        engine::CommandArg::Integer(questionable), engine::CommandArg::Integer(0)};
    return call.IO().InstrWrite(call.Command(0, masks), kCurrentTimeout);
}

HRESULT serial_poll(engine::MemberCall& call, LONG* val) {
    *val = 0;
    if (call.Simulating()) {
        *val = static_cast<LONG>(call.Desc().simNumber);
        return S_OK;
    }
    SHORT statusByte = 0;
    const HRESULT hr = call.IO().Provider().ReadSTB(&statusByte);
    if (SUCCEEDED(hr)) *val = statusByte;
    return hr;
}

}  // namespace ztv::custom
